// The main frame's menu, accelerators and printing. Edit accelerators call
// the same-named slot (undo, cut, copy, paste) of the focused box; a box
// that handles the key itself takes it first.
#include "app/main_frame.h"

#include <QApplication>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>

#include "app/about_box.h"
#include "paging/view/zt_view.h"

namespace zentrel {
namespace {

bool RunPrintDialog(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), print_dialog_(&RunPrintDialog) {
  // Before the window is created: its place and size.
  move(100, 50);
  resize(610, 515);
  setWindowIcon(ProgramIcon());
  BuildMenu();
  BuildAccelerators();
}

void CMainFrame::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  m_actDeleteRecipient = file->addAction(QStringLiteral("&Delete Recipient..."), this, [this] {
    if (view_) view_->OnDeleteRecipient();
  });
  file->addSeparator();
  m_actExit = file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  m_actHelpTopics = help->addAction(QStringLiteral("&Help Topics"), this, [this] {
    if (view_) view_->Guarded([this] { view_->OnHelp(); });
  });
  m_actAbout = help->addAction(QStringLiteral("&About Zentrel"), this, &CMainFrame::OnAppAbout);
}

QAction* CMainFrame::AddAccelerator(const QList<QKeySequence>& keys, std::function<void()> run) {
  auto* action = new QAction(this);
  action->setShortcuts(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  connect(action, &QAction::triggered, this, std::move(run));
  addAction(action);
  return action;
}

void CMainFrame::BuildAccelerators() {
  using K = QKeySequence;
  m_actPrint = AddAccelerator({K(Qt::CTRL | Qt::Key_P)}, [this] { OnFilePrint(); });
  m_actUndo = AddAccelerator({K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)},
                             [this] { ToFocusedBox("undo"); });
  m_actCut = AddAccelerator({K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)},
                            [this] { ToFocusedBox("cut"); });
  m_actCopy = AddAccelerator({K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)},
                             [this] { ToFocusedBox("copy"); });
  m_actPaste = AddAccelerator({K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)},
                              [this] { ToFocusedBox("paste"); });
  m_actNextPane = AddAccelerator({K(Qt::Key_F6)}, [this] { focusNextChild(); });
  m_actPrevPane = AddAccelerator({K(Qt::SHIFT | Qt::Key_F6)}, [this] { focusPreviousChild(); });
}

void CMainFrame::ToFocusedBox(const char* edit_slot) {
  QWidget* box = QApplication::focusWidget();
  if (!box || !isAncestorOf(box)) return;
  const QByteArray signature = QByteArray(edit_slot) + "()";
  if (box->metaObject()->indexOfMethod(signature.constData()) >= 0) {
    QMetaObject::invokeMethod(box, edit_slot);
  }
}

void CMainFrame::SetView(CZTView* view) {
  view_ = view;
  setCentralWidget(view);
}

// Prints the form as it looks, scaled to fit the page.
void CMainFrame::OnFilePrint() {
  if (!view_) return;
  QPrinter printer(QPrinter::HighResolution);
  if (!print_dialog_(printer, this)) return;
  QPainter painter;
  if (!painter.begin(&printer)) return;
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  const double scale =
      std::min(double(page.width()) / view_->width(), double(page.height()) / view_->height());
  painter.scale(scale, scale);
  view_->render(&painter);
  painter.end();
}

void CMainFrame::OnAppAbout() {
  CAboutDlg about(this);
  about.exec();
}

}  // namespace zentrel
