// The full TAP session of one call, free of I/O: wake the terminal with CR
// until it asks "ID=", log on, wait for the go-ahead, then send each page's
// blocks, each answered by ACK (next), NAK (the same block again, three
// tries in all) or RS (the page refused, on to the next), and log off. ESC
// EOT from the terminal ends the session. Bytes and timer expiries come in;
// what to send, when to time out and each page's outcome go out through
// ISessionIo. The timings default to the protocol's published values.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel::tap {

struct SessionTimings {
  std::chrono::milliseconds wake_interval{2000};  // between CRs awaiting "ID="
  int wake_tries = 3;
  std::chrono::milliseconds reply_timeout{10000};  // for any answer after a send
  int logon_tries = 3;
  int block_tries = 3;
  // The line's pace: a reply can't start before what was sent is on the
  // wire, so each reply time-out also counts the sent bytes' line time
  // (300 bit/s, 10 bits a character, by default).
  int chars_per_second = 30;
};

struct OutgoingPage {
  std::string pin;
  std::string message;  // already cut or split to the page's limit
};

enum class PageStatus { kAccepted, kRefused, kNotSent };
const char* PageStatusName(PageStatus status);  // "accepted", "refused", "not sent"

// Why a page was not sent, as a kind: the terminal answered NAK to every
// try of a block, a TAP time-out passed, the terminal ended the session
// (or refused the log-on), or the call ended under the session.
enum class NotSentCause { kNone, kNakLimit, kTimeOut, kTerminalEnded, kCallEnded };

struct PageReport {
  PageStatus status = PageStatus::kNotSent;
  std::string terminal;  // the terminal's words about the page
  std::string reason;    // why not accepted
  NotSentCause cause = NotSentCause::kNone;
};

class ISessionIo {
 public:
  virtual ~ISessionIo() = default;
  virtual void Send(std::string_view bytes) = 0;
  // (Re)starts the one time-out; a later call replaces it.
  virtual void ArmTimer(std::chrono::milliseconds after) = 0;
  virtual void PageDone(std::size_t index, const PageReport& report) = 0;
  // Before a page's first block: false sends no more pages (the session
  // logs off; the pages left get their outcome when the call ends).
  virtual bool MayStartPage(std::size_t /*index*/) { return true; }
  // Every page has its outcome; nothing more will be sent.
  virtual void Finished() = 0;
};

class TapSession {
 public:
  TapSession(std::vector<OutgoingPage> pages, ISessionIo& io, SessionTimings timings = {});

  void Start();                          // the call is connected
  void Receive(std::string_view bytes);  // from the terminal, any split
  void TimerExpired();
  // The call ended: pages without an outcome are not sent, for `why`.
  void CallEnded(const std::string& why);

  bool finished() const { return step_ == Step::kDone; }
  bool transparent() const { return transparent_; }

 private:
  enum class Step { kWaking, kLoggingOn, kSending, kLoggingOff, kDone };
  enum class Reply { kNone, kAck, kNak, kRs, kGoAhead, kDisconnect };

  void OnLine(std::string_view line);
  void OnReply(Reply reply);
  void OnLogonReply(Reply reply);
  void OnBlockReply(Reply reply);
  void SendLogon();
  void StartPage(std::size_t index);
  void SendBlock();
  void EndPage(PageStatus status, const std::string& reason,
               NotSentCause cause = NotSentCause::kNone);
  void LogOff();
  void SendAndAwait(std::string_view bytes);
  void FailRest(const std::string& why, NotSentCause cause);
  void Finish();

  std::vector<OutgoingPage> pages_;
  ISessionIo& io_;
  SessionTimings timings_;
  Step step_ = Step::kWaking;
  int tries_ = 0;
  bool transparent_ = false;
  std::string pending_;  // received bytes not yet ending in CR
  std::size_t page_ = 0;
  std::vector<std::string> blocks_;
  std::size_t block_ = 0;
  std::string words_;
};

// The version a log-on reply line like "110 1.8" announces, as 10 x the
// number (18); 0 when the line is not one.
int AnnouncedVersion(std::string_view line);

}  // namespace zentrel::tap
