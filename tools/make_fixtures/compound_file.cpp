#include "compound_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <stdexcept>

namespace fixtures {
namespace {

[[noreturn]] void fail(const std::string& what, GError* error) {
  std::string message = what;
  if (error) {
    message += ": ";
    message += error->message;
    g_error_free(error);
  }
  throw std::runtime_error(message);
}

void ensure_gsf() {
  static const bool initialised = [] {
    gsf_init();
    return true;
  }();
  (void)initialised;
}

std::vector<std::uint8_t> read_stream(GsfInput* input, const std::string& name) {
  std::vector<std::uint8_t> data(static_cast<std::size_t>(gsf_input_size(input)));
  if (!data.empty() && !gsf_input_read(input, data.size(), data.data()))
    throw std::runtime_error("cannot read stream " + name);
  return data;
}

void read_children(GsfInfile* storage, Entry& into) {
  const int n = gsf_infile_num_children(storage);
  for (int i = 0; i < n; ++i) {
    GsfInput* input = gsf_infile_child_by_index(storage, i);
    if (!input) throw std::runtime_error("cannot open an entry of " + into.name);
    Entry entry;
    entry.name = gsf_infile_name_by_index(storage, i);
    // Streams of an OLE2 file answer -1: they have no children.
    if (GSF_IS_INFILE(input) && gsf_infile_num_children(GSF_INFILE(input)) >= 0) {
      entry.is_storage = true;
      std::array<std::uint8_t, 16> clsid{};
      if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(input), clsid.data()) &&
          std::any_of(clsid.begin(), clsid.end(), [](std::uint8_t b) { return b != 0; }))
        entry.clsid = clsid;
      read_children(GSF_INFILE(input), entry);
    } else {
      entry.data = read_stream(input, entry.name);
    }
    g_object_unref(input);
    into.children.push_back(std::move(entry));
  }
}

void write_children(GsfOutfile* storage, const Entry& from) {
  for (const Entry& entry : from.children) {
    GsfOutput* output = gsf_outfile_new_child(storage, entry.name.c_str(), entry.is_storage);
    if (!output) throw std::runtime_error("cannot create entry " + entry.name);
    if (entry.is_storage) {
      if (entry.clsid)
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(output), entry.clsid->data());
      write_children(GSF_OUTFILE(output), entry);
    } else if (!entry.data.empty() &&
               !gsf_output_write(output, entry.data.size(), entry.data.data())) {
      throw std::runtime_error("cannot write stream " + entry.name);
    }
    if (!gsf_output_close(output)) throw std::runtime_error("cannot close entry " + entry.name);
    g_object_unref(output);
  }
}

}  // namespace

Entry* Entry::child(std::string_view child_name) {
  for (Entry& e : children)
    if (e.name == child_name) return &e;
  return nullptr;
}

const Entry* Entry::child(std::string_view child_name) const {
  for (const Entry& e : children)
    if (e.name == child_name) return &e;
  return nullptr;
}

void Entry::remove_child(std::string_view child_name) {
  std::erase_if(children, [&](const Entry& e) { return e.name == child_name; });
}

Entry read_compound_file(const std::string& path) {
  ensure_gsf();
  GError* error = nullptr;
  GsfInput* input = gsf_input_stdio_new(path.c_str(), &error);
  if (!input) fail("cannot open " + path, error);
  GsfInfile* ole = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  if (!ole) fail(path + " is not a compound file", error);

  Entry root;
  root.name = "Root Entry";
  root.is_storage = true;
  std::array<std::uint8_t, 16> clsid{};
  if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(ole), clsid.data())) root.clsid = clsid;
  try {
    read_children(ole, root);
  } catch (...) {
    g_object_unref(ole);
    throw;
  }
  g_object_unref(ole);
  return root;
}

void write_compound_file(const std::string& path, const Entry& root) {
  ensure_gsf();
  GError* error = nullptr;
  GsfOutput* sink = gsf_output_stdio_new(path.c_str(), &error);
  if (!sink) fail("cannot create " + path, error);
  GsfOutfile* ole = gsf_outfile_msole_new(sink);
  g_object_unref(sink);
  if (!ole) throw std::runtime_error("cannot start a compound file in " + path);
  try {
    if (root.clsid) gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole), root.clsid->data());
    write_children(ole, root);
    if (!gsf_output_close(GSF_OUTPUT(ole))) throw std::runtime_error("cannot finish " + path);
  } catch (...) {
    g_object_unref(ole);
    throw;
  }
  g_object_unref(ole);
}

}  // namespace fixtures
