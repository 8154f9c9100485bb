// The form's road of a page over a wctp line: the first line (a WCTP gateway
// that is down) is passed over, "Send Page" posts the page to the next, a
// carrier played by a loopback HTTP server that reads each post with the
// gateway's own WCTP reader and answers by PIN. The post runs off the UI
// thread: the form stays live, its status box shows the steps and ends on
// the form's own words, and the page log gets one record per page.
#include <httplib.h>

#include <mutex>
#include <thread>

#include "gateway/wctp_answer.h"
#include "gateway/wctp_request.h"
#include "journal/page_log.h"
#include "tests/app/form_rig.h"
#include "tests/e2e/loopback_port.h"

namespace zentrel::testing {
namespace {

// 7654321 is refused for good (403); every other PIN is taken.
class Carrier {
 public:
  Carrier() {
    server_.Post("/wctp", [this](const httplib::Request& in, httplib::Response& out) {
      const auto read = gateway::ParseWctpSubmission(in.body);
      const auto* s = std::get_if<gateway::WctpSubmission>(&read);
      const int code = !s ? 302 : s->recipient == "7654321" ? 403 : 200;
      if (s) {
        std::lock_guard<std::mutex> lock(mutex_);
        posts_.push_back(s->recipient + ": " + s->text);
      }
      out.set_content(
          gateway::WctpReply(gateway::WctpOperation::kSubmitRequest, code, "by the carrier"),
          "text/xml");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~Carrier() {
    server_.stop();
    thread_.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/wctp"; }
  std::vector<std::string> Posts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posts_;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> posts_;
};

// In the suite of the form's other pages end to end; the folder is its own.
using FormEndToEnd = FormCallTest;

TEST_F(FormEndToEnd, SendPageOverAWctpLineShowsItsStepsAndTheCarriersAnswer) {
  Carrier carrier;
  TestFolder folder;
  folder.MakeDatabase(
      {{"1234567", "Carl", "Dunn", "5559876"}, {"7654321", "Dee", "Ray", "5559876"}});
  const QString dir = QString::fromStdString(folder.Path());
  QFile lines(dir + "/lines.conf");
  ASSERT_TRUE(lines.open(QIODevice::WriteOnly));
  lines.write(("wctp http://127.0.0.1:" + std::to_string(e2e::ClosedLoopbackPort()) +
               "/wctp\nwctp " + carrier.Url() + " sender=ops\n")
                  .c_str());
  lines.close();
  const QByteArray previous = qgetenv("ZENTREL_LINES");
  qputenv("ZENTREL_LINES", (dir + "/lines.conf").toUtf8());

  struct Row {
    const char* pin;
    const char* message;
    QStringList statuses;  // in the status box, in order
    const char* post;      // what the carrier read
    PageOutcome logged;
  };
  const Row rows[] = {
      {"1234567",
       "Pump 3 & <4> down",
       {"Preparing to send message...", "Sending Message...", "Message Sent!"},
       "1234567: Pump 3 & <4> down",
       PageOutcome::kAccepted},
      {"7654321",
       "nobody",
       {"Preparing to send message...", "Sending Message...",
        "Error, page not sent, the carrier refused the page: 403 by the carrier."},
       "7654321: nobody",
       PageOutcome::kRefused},
  };
  std::vector<ShownBox> boxes;
  CZTApp::Options options;
  options.show = false;
  options.message_box = RecordInto(boxes);
  {
    CZTApp app(options);
    ASSERT_TRUE(app.InitInstance());
    CZTView* view = app.View();
    QStringList statuses;
    QObject::connect(view->m_editStatus, &QPlainTextEdit::textChanged, view, [&] {
      const QString text = view->m_editStatus->toPlainText();
      if (!text.isEmpty() && (statuses.isEmpty() || statuses.back() != text)) statuses << text;
    });
    std::size_t n = 0;
    for (const Row& row : rows) {
      SCOPED_TRACE(row.pin);
      const int index = view->m_comboPin->findText(row.pin);
      ASSERT_GE(index, 0);
      view->m_comboPin->setCurrentIndex(index);
      emit view->m_comboPin->activated(index);
      view->m_editMessage->setPlainText(row.message);
      statuses.clear();
      view->m_buttonSend->click();
      // Back from the click while the post may still be under way: the
      // result comes to the UI thread as an event.
      EXPECT_TRUE(WaitUntil(
          [&] { return !statuses.isEmpty() && statuses.back() == row.statuses.back(); }, 30000))
          << statuses.join(" | ").toStdString();
      EXPECT_EQ(statuses, row.statuses) << statuses.join(" | ").toStdString();
      ++n;
      EXPECT_TRUE(WaitUntil([&] {
        const auto records = PageLog(qgetenv("ZENTREL_PAGE_LOG").toStdString()).List({});
        return records.size() == n && records.back().outcome != PageOutcome::kInterrupted;
      }));
      const auto records = PageLog(qgetenv("ZENTREL_PAGE_LOG").toStdString()).List({});
      ASSERT_EQ(records.size(), n);
      EXPECT_EQ(records.back().attempt.pin, row.pin);
      EXPECT_EQ(records.back().outcome, row.logged) << records.back().reason;
      ASSERT_EQ(carrier.Posts().size(), n);
      EXPECT_EQ(carrier.Posts().back(), row.post);
    }
    for (const ShownBox& box : boxes) ADD_FAILURE() << box.text.toStdString();
  }
  if (previous.isNull())
    qunsetenv("ZENTREL_LINES");
  else
    qputenv("ZENTREL_LINES", previous);
}

}  // namespace
}  // namespace zentrel::testing
