#include "AnsiColours.h"

#include <algorithm>

namespace kestrel {

namespace {

constexpr unsigned char kBel = 7;
constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kCancel = 0x18;
constexpr unsigned char kSubstitute = 0x1A;
constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kDelete = 0x7F;
constexpr std::uint16_t kParameterMax = 65535;

bool StartsString(unsigned char ch) {
  return ch == ']' || ch == 'P' || ch == 'X' || ch == '^' || ch == '_';
}

// The nearest of the palette's 6x6x6 colour cube (indexes 16 to 231).
std::uint16_t CubeColour(std::uint16_t r, std::uint16_t g, std::uint16_t b) {
  auto level = [](std::uint16_t v) { return (std::min<int>(v, 255) * 5 + 127) / 255; };
  return static_cast<std::uint16_t>(16 + 36 * level(r) + 6 * level(g) + level(b));
}

} // namespace

void AnsiColours::Parse(std::string_view bytes, ColouredText &out) {
  out.text.clear();
  out.changes.clear();
  out.style = mEmitted;
  out.text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (mState != State::Text) {
      Byte(static_cast<unsigned char>(bytes[i++]), out);
      continue;
    }
    std::size_t escape = bytes.find(static_cast<char>(kEscape), i);
    std::size_t end = escape == std::string_view::npos ? bytes.size() : escape;
    if (end > i) {
      if (mPacked != mEmitted) {
        out.changes.push_back({out.text.size(), mPacked});
        mEmitted = mPacked;
      }
      out.text.append(bytes.substr(i, end - i));
    }
    i = end;
    if (escape != std::string_view::npos) {
      mState = State::Escape;
      ++i;
    }
  }
}

void AnsiColours::Reset() {
  mState = State::Text;
  mStyle = TextStyle{};
  mPacked = 0;
  mEmitted = 0;
}

// One byte inside a sequence.
void AnsiColours::Byte(unsigned char ch, ColouredText &out) {
  switch (mState) {
  case State::Escape:
    if (ch == '[') {
      StartCsi();
      mState = State::Csi;
      return;
    }
    if (StartsString(ch)) {
      mState = State::String;
      return;
    }
    if (ch >= 0x20 && ch <= 0x2F) {
      mState = State::EscapeIntermediate;
      return;
    }
    if (ch >= 0x30 && ch <= 0x7E) {
      mState = State::Text;
      return;
    }
    break;
  case State::EscapeIntermediate:
    if (ch >= 0x20 && ch <= 0x2F)
      return;
    if (ch >= 0x30 && ch <= 0x7E) {
      mState = State::Text;
      return;
    }
    break;
  case State::Csi:
    CsiByte(ch, out);
    return;
  case State::String:
    if (ch == kBel) {
      mState = State::Text;
      return;
    }
    if (ch == kEscape) {
      mState = State::StringEscape;
      return;
    }
    if (ch != kLineFeed && ch != kCancel && ch != kSubstitute)
      return; // the string's own text
    break;
  case State::StringEscape:
    if (ch == '\\') {
      mState = State::Text;
      return;
    }
    // ESC and anything else than the string's end: a new sequence begins.
    mState = State::Escape;
    Byte(ch, out);
    return;
  case State::Text:
    break;
  }

  Stray(ch, out);
}

// A byte that has no place in the sequence it arrived in. DEL is ignored
// there, as terminals do.
void AnsiColours::Stray(unsigned char ch, ColouredText &out) {
  if (ch == kEscape) {
    mState = State::Escape;
  } else if (ch == kCancel || ch == kSubstitute) {
    mState = State::Text;
  } else if (ch == kLineFeed || ch > kDelete) {
    mState = State::Text;
    Emit(ch, out);
  } else if (ch < 0x20) {
    Emit(ch, out);
  }
}

void AnsiColours::CsiByte(unsigned char ch, ColouredText &out) {
  if (ch >= '0' && ch <= '9') {
    if (mParameterCount <= kMaxParameters) {
      std::uint16_t &p = mParameters[mParameterCount - 1];
      p = static_cast<std::uint16_t>(std::min<int>(kParameterMax, p * 10 + (ch - '0')));
    }
  } else if (ch == ';' || ch == ':') {
    if (mParameterCount < kMaxParameters)
      mParameters[mParameterCount] = 0;
    if (mParameterCount <= kMaxParameters)
      ++mParameterCount; // past the last kept, further numbers are ignored
  } else if ((ch >= 0x3C && ch <= 0x3F) || (ch >= 0x20 && ch <= 0x2F)) {
    mOddCsi = true;
  } else if (ch >= 0x40 && ch <= 0x7E) {
    if (ch == 'm' && !mOddCsi)
      ApplySgr();
    mState = State::Text;
  } else {
    Stray(ch, out);
  }
}

void AnsiColours::StartCsi() {
  mParameters[0] = 0;
  mParameterCount = 1;
  mOddCsi = false;
}

void AnsiColours::ApplySgr() {
  const std::size_t count = std::min(mParameterCount, kMaxParameters);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t p = mParameters[i];
    if (p == 0) {
      mStyle = TextStyle{};
    } else if (p == 1) {
      mStyle.bold = true;
    } else if (p == 22) {
      mStyle.bold = false;
    } else if (p >= 30 && p <= 37) {
      mStyle.foreground = p - 30;
    } else if (p == 38) {
      i = ExtendedColour(i, mStyle.foreground);
    } else if (p == 39) {
      mStyle.foreground = TextStyle::kDefaultColour;
    } else if (p >= 40 && p <= 47) {
      mStyle.background = p - 40;
    } else if (p == 48) {
      i = ExtendedColour(i, mStyle.background);
    } else if (p == 49) {
      mStyle.background = TextStyle::kDefaultColour;
    } else if (p >= 90 && p <= 97) {
      mStyle.foreground = p - 90 + 8;
    } else if (p >= 100 && p <= 107) {
      mStyle.background = p - 100 + 8;
    }
  }
  mPacked = mStyle.Packed();
}

// 38 or 48 at i, then 5;n or 2;r;g;b. Returns the index of the last number
// it took; one that is cut short ends the sequence's list.
std::size_t AnsiColours::ExtendedColour(std::size_t i, std::uint16_t &colour) const {
  const std::size_t count = std::min(mParameterCount, kMaxParameters);
  if (i + 2 < count && mParameters[i + 1] == 5) {
    colour = std::min<std::uint16_t>(mParameters[i + 2], 255);
    return i + 2;
  }
  if (i + 4 < count && mParameters[i + 1] == 2) {
    colour = CubeColour(mParameters[i + 2], mParameters[i + 3], mParameters[i + 4]);
    return i + 4;
  }
  return count;
}

void AnsiColours::Emit(unsigned char ch, ColouredText &out) {
  if (mPacked != mEmitted) {
    out.changes.push_back({out.text.size(), mPacked});
    mEmitted = mPacked;
  }
  out.text += static_cast<char>(ch);
}

} // namespace kestrel
