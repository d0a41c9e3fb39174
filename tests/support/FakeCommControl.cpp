#include "FakeCommControl.h"

#include <algorithm>
#include <cctype>

namespace kestrel::test {

int FakeCommControl::Fail(int error, const std::string &text) {
  lastError_ = text;
  setterErrors.push_back(error);
  return error;
}

int FakeCommControl::CommPort(std::int16_t port) {
  if (open_)
    return Fail(comPortOpenNoChange, "the port is open");
  if (port < 1)
    return Fail(comInvalidPortNumber, "no such port");
  commPort_ = port;
  return comNoError;
}

// Accepts "digits,letter,digit,digit" with parity N, E, O, M or S.
int FakeCommControl::Settings(const std::string &settings) {
  ++settingsCalls;
  std::vector<std::string> f(1);
  for (char ch : settings) {
    if (ch == ',')
      f.emplace_back();
    else
      f.back() += ch;
  }
  auto digits = [](const std::string &s) {
    if (s.empty())
      return false;
    for (char ch : s)
      if (!std::isdigit(static_cast<unsigned char>(ch)))
        return false;
    return true;
  };
  bool ok = f.size() == 4 && digits(f[0]) && f[1].size() == 1 &&
            std::string("NEOMSneoms").find(f[1][0]) != std::string::npos && digits(f[2]) &&
            digits(f[3]);
  if (!ok)
    return Fail(comInvalidSettings, "invalid settings");
  settings_ = settings;
  return comNoError;
}

int FakeCommControl::InputLen(std::int16_t length) {
  if (length < 0)
    return Fail(comInvalidValue, "invalid value");
  inputLen_ = length;
  return comNoError;
}

int FakeCommControl::RTSEnable(bool high) {
  rts_ = high;
  rtsHistory.push_back(high);
  return comNoError;
}

int FakeCommControl::DTREnable(bool high) {
  dtr_ = high;
  return comNoError;
}

int FakeCommControl::RThreshold(std::int16_t threshold) {
  if (threshold < 0)
    return Fail(comInvalidValue, "invalid value");
  rThreshold_ = threshold;
  return comNoError;
}

int FakeCommControl::PortOpen(bool open) {
  if (!open) {
    if (open_) {
      open_ = false;
      break_ = false;
      pending = 0;
      closed.push_back(commPort_);
    }
    return comNoError;
  }
  if (open_)
    return Fail(comPortAlreadyOpen, "port already open");
  if (int error = StateError(commPort_))
    return error;
  open_ = true;
  opened.push_back(commPort_);
  return comNoError;
}

int FakeCommControl::StateError(int port) {
  auto it = ports.find(port);
  switch (it == ports.end() ? PortState::Absent : it->second) {
  case PortState::Absent:
    return Fail(comInvalidPortNumber, "/dev/fake" + std::to_string(port) + ": no such device");
  case PortState::Busy:
    return Fail(comPortAlreadyOpen, "Device or resource busy");
  case PortState::Denied:
    return Fail(comAccessDenied, "Permission denied");
  case PortState::Free:
    break;
  }
  return comNoError;
}

int FakeCommControl::PortProbe(std::int16_t port) {
  probed.push_back(port);
  return StateError(port);
}

int FakeCommControl::Output(const std::string &text) {
  if (!open_)
    return Fail(comPortNotOpen, "the port is not open");
  sent += text;
  pending += text.size();
  return comNoError;
}

int FakeCommControl::Break(bool on) {
  if (!open_)
    return Fail(comPortNotOpen, "the port is not open");
  break_ = on;
  breakHistory.push_back(on);
  return comNoError;
}

std::int32_t FakeCommControl::OutBufferCount() const {
  return open_ ? static_cast<std::int32_t>(pending) : 0;
}

int FakeCommControl::OutBufferCount(std::int32_t count) {
  if (count != 0)
    return Fail(comInvalidValue, "invalid value");
  discarded += pending;
  sent.resize(sent.size() - pending);
  pending = 0;
  return comNoError;
}

int FakeCommControl::LineLevels(ModemLines &levels) const {
  levels = ModemLines{};
  if (!open_)
    return comPortNotOpen;
  if (hasLines)
    levels = inputs;
  levels.rts = rts_;
  levels.dtr = dtr_;
  return hasLines ? comNoError : comDeviceError;
}

void FakeCommControl::Drain(std::size_t bytes) {
  pending -= std::min(bytes, pending);
}

std::string FakeCommControl::Input() {
  std::string out;
  if (inputLen_ == 0 || static_cast<std::size_t>(inputLen_) >= input_.size()) {
    out.swap(input_);
  } else {
    out = input_.substr(0, inputLen_);
    input_.erase(0, inputLen_);
  }
  return out;
}

void FakeCommControl::Receive(const std::string &bytes) {
  input_ += bytes;
  Raise(comEvReceive);
}

void FakeCommControl::Raise(int kind) {
  commEvent_ = static_cast<std::int16_t>(kind);
  if (handler_)
    handler_();
}

void FakeCommControl::Vanish() {
  if (open_) {
    open_ = false;
    break_ = false;
    pending = 0;
    closed.push_back(commPort_);
  }
  ports[commPort_] = PortState::Absent;
}

} // namespace kestrel::test
