// The sorted PIN box. The list lives in a QStringListModel that is set once
// per fill; QComboBox's own completer is removed because it would complete
// typed text and would index the whole list.
#include "paging/view/pin_combo.h"

#include <QLineEdit>
#include <QStringListModel>

#include <algorithm>

namespace zentrel {

// ASCII letters fold to lower case, as QString's case-insensitive compare
// folds them; other bytes compare as they are.
bool PinLess(const std::string& a, const std::string& b) {
  auto fold = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
  };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return fold(x) < fold(y); });
}

bool PinLess(const QString& a, const QString& b) {
  return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

CPinCombo::CPinCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMaxVisibleItems(10);
  setModel(new QStringListModel(this));
}

void CPinCombo::SetPins(std::vector<std::string> pins) {
  std::stable_sort(pins.begin(), pins.end(),
                   [](const std::string& a, const std::string& b) { return PinLess(a, b); });
  QStringList list;
  list.reserve(static_cast<qsizetype>(pins.size()));
  for (const std::string& pin : pins) list.append(QString::fromStdString(pin));
  QSignalBlocker block(this);
  setModel(new QStringListModel(std::move(list), this));  // frees the old one
}

int CPinCombo::AddString(const QString& text) {
  int low = 0, high = count();
  while (low < high) {  // first entry greater than the new one
    const int mid = (low + high) / 2;
    if (PinLess(text, itemText(mid)))
      high = mid;
    else
      low = mid + 1;
  }
  QSignalBlocker block(this);
  insertItem(low, text);
  return low;
}

int CPinCombo::SelectString(const QString& prefix) {
  const int index = findText(prefix, Qt::MatchStartsWith);
  if (index >= 0) SetCurSel(index);
  return index;
}

int CPinCombo::GetTopIndex() const { return count() > 0 ? 0 : -1; }

void CPinCombo::SetCurSel(int index) {
  QSignalBlocker block(this);
  setCurrentIndex(index);
}

}  // namespace zentrel
