// The Load handler of Form3: the launcher's start-up, layout, workbook
// chooser and hand-over, one statement at a time under statement-level error
// resumption.
#include "launcher/form3.h"

#include "launcher/form3_definition.h"
#include "launcher/twips.h"
#include "platform/resume.h"

namespace spc {

namespace {

// Reads one operand of a layout formula.
using Operand = Expected<float> (*)(Toolkit&);

Expected<float> ScreenWidth(Toolkit& tk) { return tk.ScreenWidth(); }
Expected<float> ScreenHeight(Toolkit& tk) { return tk.ScreenHeight(); }
template <ControlId control, Dimension dimension>
Expected<float> Read(Toolkit& tk) {
  return tk.Get(control, dimension);
}

// One layout statement: reads the operands in order, evaluates the formula
// and sets the property. A failed read, a failed arithmetic test or a failed
// set ends the statement and leaves the property as it was.
Status Place(Toolkit& tk, ControlId control, Dimension dimension, Operand a, Operand b, double (*formula)(double, double)) {
  SPC_TRY_ASSIGN(const float x, a(tk));
  SPC_TRY_ASSIGN(const float y, b(tk));
  SPC_TRY_ASSIGN(const float value, EvaluateTwips([&] { return formula(x, y); }));
  return tk.Set(control, dimension, value);
}

Status Place(Toolkit& tk, ControlId control, Dimension dimension, Operand a, double (*formula)(double)) {
  SPC_TRY_ASSIGN(const float x, a(tk));
  SPC_TRY_ASSIGN(const float value, EvaluateTwips([&] { return formula(x); }));
  return tk.Set(control, dimension, value);
}

// The layout formulas, evaluated as written: a screen dimension is multiplied
// by 9 or 5 before it is divided by 10, and the size is subtracted last.
double Centre(double screen, double window) { return (screen - window) / 2; }
double HalfDifference(double outer, double inner) { return outer / 2 - inner / 2; }
double Tenth(double screen) { return screen / 10; }
double NineTenthsLess(double screen, double size) { return screen * 9 / 10 - size; }
double HalfLessHalf(double screen, double size) { return screen * 5 / 10 - size / 2; }

}  // namespace

Status Form3::CentreLabel1() {
  return Place(platform_.toolkit, ControlId::kLabel1, Dimension::kLeft, Read<ControlId::kForm3, Dimension::kWidth>,
               Read<ControlId::kLabel1, Dimension::kWidth>, HalfDifference);
}

void Form3::Load() {
  Toolkit& tk = platform_.toolkit;
  OpenDialog& dialog = platform_.commonDialog1;
  using enum ControlId;
  using enum Dimension;

  // Fit the window to the screen and centre it on the size actually applied.
  Statement([&]() -> Status {
    SPC_TRY_ASSIGN(const float width, tk.ScreenWidth());
    return tk.Set(kForm3, kWidth, width);
  });
  Statement([&]() -> Status {
    SPC_TRY_ASSIGN(const float height, tk.ScreenHeight());
    return tk.Set(kForm3, kHeight, height);
  });
  Statement([&] { return Place(tk, kForm3, kLeft, ScreenWidth, Read<kForm3, kWidth>, Centre); });
  Statement([&] { return Place(tk, kForm3, kTop, ScreenHeight, Read<kForm3, kHeight>, Centre); });

  // The hidden label, centred across the window.
  Statement([&] { return CentreLabel1(); });
  Statement([&] { return tk.SetVisible(kLabel1, false); });

  // The four corner pictures at a tenth of the screen from its edges, all
  // placed by Picture2's size, and the centre picture on its own size.
  Statement([&] { return Place(tk, kPicture1, kLeft, ScreenWidth, Tenth); });
  Statement([&] { return Place(tk, kPicture1, kTop, ScreenHeight, Read<kPicture2, kHeight>, NineTenthsLess); });
  Statement([&] { return Place(tk, kPicture2, kLeft, ScreenWidth, Tenth); });
  Statement([&] { return Place(tk, kPicture2, kTop, ScreenHeight, Tenth); });
  Statement([&] { return Place(tk, kPicture3, kLeft, ScreenWidth, Read<kPicture2, kWidth>, NineTenthsLess); });
  Statement([&] { return Place(tk, kPicture3, kTop, ScreenHeight, Tenth); });
  Statement([&] { return Place(tk, kPicture4, kLeft, ScreenWidth, Read<kPicture2, kWidth>, NineTenthsLess); });
  Statement([&] { return Place(tk, kPicture4, kTop, ScreenHeight, Read<kPicture2, kHeight>, NineTenthsLess); });
  Statement([&] { return Place(tk, kPicture5, kLeft, ScreenWidth, Read<kPicture5, kWidth>, HalfLessHalf); });
  Statement([&] { return Place(tk, kPicture5, kTop, ScreenHeight, Read<kPicture5, kHeight>, HalfLessHalf); });

  // Show the window before the dialog stands over it.
  Statement([&] { return tk.LoadWindow(); });
  Statement([&] { return tk.SetVisible(kForm3, true); });

  // The workbook chooser.
  Statement([&] { return dialog.PutProperty(dispid::kDialogTitle, Variant::String(std::u16string(text::kDialogTitle))); });
  Statement([&] { return dialog.PutProperty(dispid::kFlags, Variant::Int32(text::kDialogFlags)); });
  Statement([&] { return dialog.PutProperty(dispid::kFilter, Variant::String(std::u16string(text::kFilter))); });
  Statement([&] { return dialog.Invoke(dispid::kShowOpen); });

  const bool fileChosen = BranchTest([&]() -> Expected<bool> {
    SPC_TRY_ASSIGN(const Variant value, dialog.GetProperty(dispid::kFileName));
    SPC_TRY_ASSIGN(const std::u16string name, ToString(value));
    return !tk.ExactEqual(name, u"");
  });

  if (fileChosen) {
    // Hand the path over through the hidden label.
    Statement([&]() -> Status {
      SPC_TRY_ASSIGN(const Variant value, dialog.GetProperty(dispid::kFileName));
      SPC_TRY_ASSIGN(const std::u16string name, ToString(value));
      return tk.SetCaption(kLabel1, name);
    });
    Statement([&] { return tk.SetVisible(kLabel1, false); });
    Statement([&] { return CentreLabel1(); });
    Statement([&] {
      LaunchWorkbook();
      return kOk;
    });
    return;
  }

  // No file chosen: nothing is started.
  outcome_ = Outcome::kNoFileChosen;
  Statement([&] { return tk.UnloadWindow(); });
}

}  // namespace spc
