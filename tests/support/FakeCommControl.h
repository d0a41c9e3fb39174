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
  std::int16_t CommPort() const override { return mCommPort; }
  int CommPort(std::int16_t value) override {
    if (mOpen)
      return Fail(comPortOpenNoChange, "the port is open");
    if (value < 1)
      return Fail(comInvalidPortNumber, "no such port");
    mCommPort = value;
    return comNoError;
  }
  std::string Settings() const override { return mSettings; }
  int Settings(const std::string &value) override {
    if (!std::regex_match(value, std::regex("[0-9]+,[NEOMSneoms],[0-9]+,[0-9]+")))
      return Fail(comInvalidSettings, "invalid settings");
    mSettings = value;
    return comNoError;
  }
  std::int16_t InputLen() const override { return mInputLen; }
  int InputLen(std::int16_t value) override {
    if (value < 0)
      return Fail(comInvalidValue, "invalid value");
    mInputLen = value;
    return comNoError;
  }
  bool RTSEnable() const override { return mRts; }
  int RTSEnable(bool value) override {
    mRts = value;
    return comNoError;
  }
  bool DTREnable() const override { return mDtr; }
  int DTREnable(bool value) override {
    mDtr = value;
    return comNoError;
  }
  std::int16_t RThreshold() const override { return mRThreshold; }
  int RThreshold(std::int16_t value) override {
    if (value < 0)
      return Fail(comInvalidValue, "invalid value");
    mRThreshold = value;
    return comNoError;
  }
  bool PortOpen() const override { return mOpen; }
  int PortOpen(bool value) override {
    if (!value) {
      pending = 0;
      mBreak = false;
      mOpen = false;
      return comNoError;
    }
    if (mOpen)
      return Fail(comPortAlreadyOpen, "port already open");
    if (int error = StateError(mCommPort))
      return error;
    opened.push_back(mCommPort);
    mOpen = true;
    return comNoError;
  }
  bool Break() const override { return mBreak; }
  int Break(bool value) override {
    if (!mOpen)
      return NotOpen();
    breakHistory.push_back(value);
    mBreak = value;
    return comNoError;
  }
  int PortProbe(std::int16_t port) override {
    probed.push_back(port);
    return StateError(port);
  }
  int Output(const std::string &text) override {
    if (!mOpen)
      return NotOpen();
    pending += text.size();
    sent += text;
    return comNoError;
  }
  std::string Input() override {
    const std::size_t n =
        mInputLen ? std::min<std::size_t>(mInputLen, mInput.size()) : mInput.size();
    return std::exchange(mInput, mInput.substr(n)).substr(0, n);
  }
  std::int16_t CommEvent() const override { return mCommEvent; }
  void OnComm(std::function<void()> handler) override { mHandler = std::move(handler); }
  std::string LastErrorText() const override { return mLastError; }
  std::int32_t OutBufferCount() const override {
    return mOpen ? static_cast<std::int32_t>(pending) : 0;
  }
  int OutBufferCount(std::int32_t count) override {
    if (count != 0)
      return Fail(comInvalidValue, "invalid value");
    sent.resize(sent.size() - pending);
    discarded += pending;
    pending = 0;
    return comNoError;
  }
  int LineLevels(ModemLines &l) const override {
    l = mOpen ? ModemLines{inputs.cts, inputs.dsr, inputs.cd, inputs.ri, mRts, mDtr} : ModemLines{};
    return mOpen ? comNoError : comPortNotOpen;
  }
  void Receive(const std::string &bytes) {
    mInput += bytes;
    Raise(comEvReceive);
  }
  void Raise(int kind) {
    mCommEvent = static_cast<std::int16_t>(kind);
    if (mHandler)
      mHandler();
  }
  // The device goes away: the port closes by itself and cannot open again.
  void Vanish() {
    PortOpen(false);
    ports[mCommPort] = PortState::Absent;
  }
  // Output stays pending (and in sent) until Drain lets it go.
  void Drain(std::size_t bytes) { pending -= std::min(bytes, pending); }
  std::map<int, PortState> ports;
  std::string sent;               // everything Output took
  std::vector<int> opened;        // port numbers opened, in order
  std::vector<int> probed;        // port numbers probed, in order
  std::vector<bool> breakHistory; // every Break set
  ModemLines inputs;              // CTS, DSR, CD and RI as the device shows them
  std::size_t pending = 0;
  std::size_t discarded = 0; // what OutBufferCount(0) threw away
private:
  int Fail(int error, const std::string &text) {
    mLastError = text;
    return error;
  }
  int NotOpen() { return Fail(comPortNotOpen, "the port is not open"); }
  int StateError(int port) {
    const PortState state = ports.count(port) ? ports[port] : PortState::Absent;
    if (state == PortState::Absent)
      return Fail(comInvalidPortNumber, "/dev/fake" + std::to_string(port) + ": no such device");
    if (state == PortState::Busy)
      return Fail(comPortAlreadyOpen, "Device or resource busy");
    if (state == PortState::Denied)
      return Fail(comAccessDenied, "Permission denied");
    return comNoError;
  }
  std::int16_t mCommPort = 1;
  std::int16_t mInputLen = 0;
  std::int16_t mRThreshold = 0;
  std::int16_t mCommEvent = 0;
  std::string mSettings = "9600,N,8,1";
  std::string mInput;
  std::string mLastError;
  bool mRts = false;
  bool mDtr = false;
  bool mOpen = false;
  bool mBreak = false;
  std::function<void()> mHandler;
};
} // namespace kestrel::test
