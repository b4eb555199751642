#include "launcher/form3_definition.h"

namespace spc {

std::u16string_view ControlName(ControlId id) {
  switch (id) {
    case ControlId::kForm3: return u"Form3";
    case ControlId::kLabel1: return u"Label1";
    case ControlId::kPicture1: return u"Picture1";
    case ControlId::kPicture2: return u"Picture2";
    case ControlId::kPicture3: return u"Picture3";
    case ControlId::kPicture4: return u"Picture4";
    case ControlId::kPicture5: return u"Picture5";
  }
  return u"";
}

}  // namespace spc
