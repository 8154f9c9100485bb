// The common ground of the program's dialog templates on Qt: a fixed-size
// modal dialog with a caption bar and no close box (Esc still cancels), in
// "MS Sans Serif" 8 pt, whose controls are placed in dialog units turned into
// pixels by the font's average character width (x/4, the 52 letters' average)
// and height (y/8). A font the desktop substitutes may be wider in the words
// than in the letters: the unit then grows until every label and button text
// fits its box. Tab stops follow the order in which the controls are added,
// and DoModal runs OnInitDialog, puts the focus on the first box (the first
// tab stop when there is none) and runs the dialog.
#pragma once

#include <QDialog>
#include <QRect>

#include <vector>

#include "dialogs/dialog_hooks.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zentrel {

// Pixels per dialog unit, from the dialog's font.
struct DialogUnits {
  int charWidth = 0;   // average character width: 4 dialog units
  int charHeight = 0;  // character height: 8 dialog units
  QRect ToPixels(int x, int y, int w, int h) const;
};
DialogUnits DialogUnitsOf(const QFont& font);

// The pixel width a control of `dlu_width` dialog units needs per average
// character so that `text_px` pixels of text (plus `margin_px`) fit in it.
int CharWidthToFit(int text_px, int margin_px, int dlu_width);

class CTemplateDialog : public QDialog {
  Q_OBJECT

 public:
  // Object name of the control with identifier `id`, for finding it.
  static QString ControlName(int id);

  // Runs the initialisation and then the dialog; returns its result.
  int DoModal();

  // Widens the dialog unit until every label and button text fits its box,
  // and places the controls and the dialog again. DoModal runs it.
  void FitTexts();

  // The control with identifier `id`, or null.
  QWidget* Control(int id) const;
  const DialogHooks& Hooks() const { return hooks_; }

 protected:
  CTemplateDialog(QWidget* parent, const DialogHooks& hooks, const QString& caption, int width,
                  int height);

  // Fills the controls; true lets DoModal focus the first tab stop.
  virtual bool OnInitDialog() { return true; }

  // Adds a control at a rectangle in dialog units. Buttons, edits and combo
  // boxes are tab stops in the order added; static texts are not.
  QPushButton* AddButton(int id, const QString& text, QRect dlu, bool isDefault = false);
  QLabel* AddStatic(const QString& text, QRect dlu);
  QLineEdit* AddLineEdit(int id, QRect dlu);
  template <class W>
  W* AddTabStop(W* widget, int id, QRect dlu) {
    Place(widget, id, dlu);
    tabStops_.push_back(widget);
    return widget;
  }

  // Shows the exclamation notice or a store failure's stop message.
  void Notice(const QString& text);
  void StoreFailure(const std::exception& error);

 private:
  void Place(QWidget* widget, int id, QRect dlu);

  void PlaceAll();

  DialogHooks hooks_;
  DialogUnits units_;
  QSize sizeDu_;
  std::vector<QWidget*> tabStops_;
};

}  // namespace zentrel
