// A communications control on scripted ports (absent, free, busy, denied), data and events.
#pragma once
#include "CommControl.h"
#include "FakeControls.h"
#include <regex>
#include <utility>
namespace kestrel::test {
class FakeCommControl : public ICommControl {
public:
  enum class PortState { Absent, Free, Busy, Denied };
  void Port(int number, PortState state) { ports[number] = state; }
  KT_COMM_PROPERTY(std::int16_t, CommPort, commPort_,
                   open_       ? Fail(comPortOpenNoChange, "the port is open")
                   : value < 1 ? Fail(comInvalidPortNumber, "no such port")
                               : 0);
  KT_COMM_PROPERTY(std::string, Settings, settings_,
                   std::regex_match(value, std::regex("[0-9]+,[NEOMSneoms],[0-9]+,[0-9]+"))
                       ? 0
                       : Fail(comInvalidSettings, "invalid settings"));
  KT_COMM_PROPERTY(std::int16_t, InputLen, inputLen_, Count(value));
  KT_COMM_PROPERTY(bool, RTSEnable, rts_, 0);
  KT_COMM_PROPERTY(bool, DTREnable, dtr_, 0);
  KT_COMM_PROPERTY(std::int16_t, RThreshold, rThreshold_, Count(value));
  KT_COMM_PROPERTY(bool, PortOpen, open_, value ? Open() : (pending = 0, break_ = false, 0));
  KT_COMM_PROPERTY(bool, Break, break_, open_ ? (breakHistory.push_back(value), 0) : NotOpen());
  int PortProbe(std::int16_t port) override { return probed.push_back(port), StateError(port); }
  int Output(const std::string &text) override {
    return open_ ? (pending += text.size(), Set(sent, sent + text)) : NotOpen();
  }
  std::string Input() override {
    const std::size_t n =
        inputLen_ ? std::min<std::size_t>(inputLen_, input_.size()) : input_.size();
    return std::exchange(input_, input_.substr(n)).substr(0, n);
  }
  std::int16_t CommEvent() const override { return commEvent_; }
  void OnComm(std::function<void()> handler) override { handler_ = std::move(handler); }
  std::string LastErrorText() const override { return lastError_; }
  std::int32_t OutBufferCount() const override {
    return open_ ? static_cast<std::int32_t>(pending) : 0;
  }
  int OutBufferCount(std::int32_t count) override {
    if (count != 0)
      return Fail(comInvalidValue, "invalid value");
    sent.resize(sent.size() - pending), discarded += pending;
    return Set(pending, std::size_t{0});
  }
  int LineLevels(ModemLines &l) const override {
    l = open_ ? ModemLines{inputs.cts, inputs.dsr, inputs.cd, inputs.ri, rts_, dtr_} : ModemLines{};
    return open_ ? comNoError : comPortNotOpen;
  }
  void Receive(const std::string &bytes) { input_ += bytes, Raise(comEvReceive); }
  void Raise(int kind) {
    commEvent_ = static_cast<std::int16_t>(kind), handler_ ? handler_() : void();
  }
  void Vanish() { PortOpen(false), ports[commPort_] = PortState::Absent; } // closes by itself
  // Output stays pending (and in sent) until Drain lets it go.
  void Drain(std::size_t bytes) { pending -= std::min(bytes, pending); }
  std::map<int, PortState> ports;
  std::string sent;                       // everything Output took
  std::vector<int> opened, probed;        // port numbers opened and probed, in order
  std::vector<bool> breakHistory;         // every Break set
  ModemLines inputs;                      // CTS, DSR, CD and RI as the device shows them
  std::size_t pending = 0, discarded = 0; // discarded: what OutBufferCount(0) threw away
private:
  template <class T> int Set(T &field, const T &value) { return field = value, comNoError; }
  int Fail(int error, const std::string &text) { return lastError_ = text, error; }
  int NotOpen() { return Fail(comPortNotOpen, "the port is not open"); }
  int Count(std::int16_t value) { return value < 0 ? Fail(comInvalidValue, "invalid value") : 0; }
  int Open() {
    const int error = open_ ? Fail(comPortAlreadyOpen, "port already open") : StateError(commPort_);
    return error ? error : (opened.push_back(commPort_), comNoError);
  }
  int StateError(int port) {
    const PortState state = ports.count(port) ? ports[port] : PortState::Absent;
    if (state == PortState::Absent)
      return Fail(comInvalidPortNumber, "/dev/fake" + std::to_string(port) + ": no such device");
    return state == PortState::Busy     ? Fail(comPortAlreadyOpen, "Device or resource busy")
           : state == PortState::Denied ? Fail(comAccessDenied, "Permission denied")
                                        : comNoError;
  }
  std::int16_t commPort_ = 1, inputLen_ = 0, rThreshold_ = 0, commEvent_ = 0;
  std::string settings_ = "9600,N,8,1", input_, lastError_;
  bool rts_ = false, dtr_ = false, open_ = false, break_ = false;
  std::function<void()> handler_;
};
} // namespace kestrel::test
