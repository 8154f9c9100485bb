// The PIN box: an editable combo box whose list is kept sorted as text,
// letter case ignored ("10" comes before "2"; an entry equal to others goes
// after them), whatever the order entries arrive in.
// A whole list is sorted once and set as one model, so that 100,000 PINs
// load quickly; single entries are inserted at their sorted place.
#pragma once

#include <QComboBox>

#include <string>
#include <vector>

namespace zentrel {

class CPinCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit CPinCombo(QWidget* parent = nullptr);

  // Replaces the list with `pins`, sorted.
  void SetPins(std::vector<std::string> pins);
  // Adds one entry at its sorted place; returns its index.
  int AddString(const QString& text);
  // Selects the first entry, from the top, that begins with `prefix`
  // (letter case ignored); returns its index or -1 (selection unchanged).
  int SelectString(const QString& prefix);
  // Index of the entry at the top of the list (0), or -1 when empty.
  int GetTopIndex() const;
  // Selects `index` without running the selection-changed handler.
  void SetCurSel(int index);
};

// The list's order: character by character, letter case ignored.
bool PinLess(const std::string& a, const std::string& b);
bool PinLess(const QString& a, const QString& b);

}  // namespace zentrel
