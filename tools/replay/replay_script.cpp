#include "replay_script.h"

#include <charconv>
#include <sstream>

#include "platform/dik.h"

namespace {

bool ToInt(const std::string& s, int& out) {
  const char* b = s.data();
  const char* e = s.data() + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, out);
  return r.ec == std::errc() && r.ptr == e;
}

}  // namespace

bool ParseReplayScript(const std::string& text, std::vector<ReplayCommand>& out,
                       std::string* error) {
  std::istringstream in(text);
  std::string raw;
  int line_no = 0;
  auto fail = [&](const std::string& msg) {
    if (error) *error = std::to_string(line_no) + ": " + msg;
    return false;
  };
  while (std::getline(in, raw)) {
    ++line_no;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::istringstream words(raw);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.empty() || w[0][0] == '#') continue;
    ReplayCommand c{};
    c.line = line_no;
    const std::string& cmd = w[0];
    size_t n = w.size() - 1;
    if (cmd == "frames") {
      c.kind = ReplayCommand::Frames;
      c.b = 16;
      if (n < 1 || n > 2 || !ToInt(w[1], c.a) || c.a < 0) return fail("frames N [MS]");
      if (n == 2 && (!ToInt(w[2], c.b) || c.b < 0)) return fail("frames N [MS]: bad MS");
    } else if (cmd == "key" || cmd == "keydown" || cmd == "keyup") {
      c.kind = cmd == "key" ? ReplayCommand::Key
               : cmd == "keydown" ? ReplayCommand::KeyDown
                                  : ReplayCommand::KeyUp;
      if (n != 1) return fail(cmd + " DIK_NAME");
      auto code = platform::DikFromName(w[1]);
      if (!code) return fail("unknown key " + w[1]);
      c.a = *code;
    } else if (cmd == "move" || cmd == "click") {
      c.kind = cmd == "move" ? ReplayCommand::Move : ReplayCommand::Click;
      size_t max_args = c.kind == ReplayCommand::Click ? 3 : 2;
      if (n < 2 || n > max_args || !ToInt(w[1], c.a) || !ToInt(w[2], c.b))
        return fail(cmd + (c.kind == ReplayCommand::Click ? " X Y [left|right]" : " X Y"));
      c.name = "left";
      if (n == 3) {
        if (w[3] != "left" && w[3] != "right") return fail("click button is left or right");
        c.name = w[3];
      }
    } else if (cmd == "buttondown" || cmd == "buttonup") {
      // A button held over frames (the town map chooses by holding the left button).
      c.kind = cmd == "buttondown" ? ReplayCommand::ButtonDown : ReplayCommand::ButtonUp;
      if (n != 1 || (w[1] != "left" && w[1] != "right")) return fail(cmd + " left|right");
      c.a = w[1] == "right" ? 1 : 0;
    } else if (cmd == "wheel") {
      c.kind = ReplayCommand::Wheel;
      if (n != 1 || (w[1][0] != '+' && w[1][0] != '-') || !ToInt(w[1], c.a))
        return fail("wheel +N|-N");
    } else if (cmd == "shot") {
      c.kind = ReplayCommand::Shot;
      if (n != 1 || w[1].size() < 5 || w[1].substr(w[1].size() - 4) != ".png" ||
          w[1].find('/') != std::string::npos)
        return fail("shot NAME.png");
      c.name = w[1];
    } else {
      return fail("unknown command " + cmd);
    }
    out.push_back(std::move(c));
  }
  return true;
}
