// The main frame: one window at (100, 50), 610 by 515, with the File and
// Help menus and the program's keyboard accelerators, and the send-page form
// inside it. No toolbar, no status bar. The edit keys reach whichever box
// has the focus; Ctrl+P prints the form through the print dialog.
#pragma once

#include <QMainWindow>

#include <functional>

class QPrinter;

namespace zentrel {

class CZTView;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Asks where and how to print; false when the user cancelled.
  using PrintDialogFn = std::function<bool(QPrinter& printer, QWidget* parent)>;

  explicit CMainFrame(QWidget* parent = nullptr);

  void SetView(CZTView* view);
  CZTView* View() const { return view_; }
  void SetPrintDialog(PrintDialogFn fn) { print_dialog_ = std::move(fn); }

  void OnFilePrint();
  void OnAppAbout();

  QAction* m_actDeleteRecipient = nullptr;  // asks, then deletes the shown recipient
  QAction* m_actExit = nullptr;
  QAction* m_actHelpTopics = nullptr;
  QAction* m_actAbout = nullptr;
  QAction* m_actPrint = nullptr;
  QAction* m_actUndo = nullptr;
  QAction* m_actCut = nullptr;
  QAction* m_actCopy = nullptr;
  QAction* m_actPaste = nullptr;
  QAction* m_actNextPane = nullptr;
  QAction* m_actPrevPane = nullptr;

 private:
  void BuildMenu();
  void BuildAccelerators();
  QAction* AddAccelerator(const QList<QKeySequence>& keys, std::function<void()> run);
  void ToFocusedBox(const char* edit_slot);

  CZTView* view_ = nullptr;
  PrintDialogFn print_dialog_;
};

}  // namespace zentrel
