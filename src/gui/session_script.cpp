#include "gui/session_script.h"

#include <array>
#include <fstream>
#include <sstream>

namespace stemscan {
namespace {

constexpr std::array<const char*, 10> kMouseEventNames = {
    "move", "ldown", "rdown", "mdown", "lup", "rup", "mup", "ldbl", "rdbl", "mdbl"};

struct NamedKey {
  const char* name;
  int code;
};
constexpr std::array<NamedKey, 4> kNamedKeys = {
    {{"space", 32}, {"enter", 13}, {"esc", 27}, {"tab", 9}}};

bool parseInt(const std::string& word, long min, long max, long* value) {
  if (word.empty()) return false;
  std::size_t used = 0;
  try {
    *value = std::stol(word, &used);
  } catch (...) {
    return false;
  }
  return used == word.size() && *value >= min && *value <= max;
}

bool parseKey(const std::vector<std::string>& words, int* code) {
  if (words.size() == 3 && words[1] == "code") {
    long value = 0;
    if (!parseInt(words[2], -1, 0xffffff, &value)) return false;
    *code = static_cast<int>(value);
    return true;
  }
  if (words.size() != 2) return false;
  for (const NamedKey& named : kNamedKeys) {
    if (words[1] == named.name) {
      *code = named.code;
      return true;
    }
  }
  if (words[1].size() == 1 && words[1][0] > 32 && words[1][0] < 127) {
    *code = words[1][0];
    return true;
  }
  return false;
}

bool parseMouse(const std::vector<std::string>& words, SessionEvent* event) {
  if (words.size() < 5 || words.size() > 8) return false;
  event->window = windowName(words[1]);
  int code = -1;
  for (std::size_t i = 0; i < kMouseEventNames.size(); ++i) {
    if (words[2] == kMouseEventNames[i]) code = static_cast<int>(i);
  }
  long x = 0;
  long y = 0;
  if (code < 0 || !parseInt(words[3], -100000, 100000, &x) ||
      !parseInt(words[4], -100000, 100000, &y)) {
    return false;
  }
  event->mouseEvent = code;
  event->x = static_cast<int>(x);
  event->y = static_cast<int>(y);
  for (std::size_t i = 5; i < words.size(); ++i) {
    if (words[i] == "ctrl") {
      event->flags |= 8;
    } else if (words[i] == "shift") {
      event->flags |= 16;
    } else if (words[i] == "alt") {
      event->flags |= 32;
    } else {
      return false;
    }
  }
  return true;
}

bool parseLine(const std::vector<std::string>& words, SessionEvent* event) {
  const std::string& verb = words[0];
  if (verb == "key") {
    event->kind = SessionEvent::Kind::kKey;
    return parseKey(words, &event->key);
  }
  if (verb == "timeout") {
    event->kind = SessionEvent::Kind::kTimeout;
    return words.size() == 1;
  }
  if (verb == "mouse") {
    event->kind = SessionEvent::Kind::kMouse;
    return parseMouse(words, event);
  }
  if (verb == "close") {
    event->kind = SessionEvent::Kind::kClose;
    if (words.size() != 2) return false;
    event->window = windowName(words[1]);
    return true;
  }
  if (verb == "slider") {
    event->kind = SessionEvent::Kind::kSlider;
    long value = 0;
    if (words.size() != 4 || !parseInt(words[3], -1000000, 1000000, &value)) return false;
    event->window = windowName(words[1]);
    event->slider = windowName(words[2]);
    event->value = static_cast<int>(value);
    return true;
  }
  return false;
}

}  // namespace

std::string scriptName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c == ' ') c = '_';
  }
  return out;
}

std::string windowName(const std::string& scriptName) {
  std::string out = scriptName;
  for (char& c : out) {
    if (c == '_') c = ' ';
  }
  return out;
}

std::optional<SessionScript> parseSessionScript(const std::string& text, const std::string& path,
                                                std::string* error) {
  SessionScript script;
  script.path = path;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::istringstream split(line);
    std::vector<std::string> words;
    for (std::string word; split >> word;) words.push_back(word);
    if (words.empty() || words[0][0] == '#') continue;
    bool ok = false;
    if (words[0] == "seed") {
      long seed = 0;
      ok = words.size() == 2 && script.events.empty() && !script.seed &&
           parseInt(words[1], 0, 4294967295L, &seed);
      if (ok) script.seed = static_cast<uint32_t>(seed);
    } else {
      SessionEvent event;
      event.line = number;
      ok = parseLine(words, &event);
      if (ok) script.events.push_back(event);
    }
    if (!ok) {
      *error = path + ":" + std::to_string(number) + ": cannot read this line: " + line;
      return std::nullopt;
    }
  }
  return script;
}

std::optional<SessionScript> loadSessionScript(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read session script " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parseSessionScript(text.str(), path, error);
}

std::string formatSessionEvent(const SessionEvent& event) {
  switch (event.kind) {
    case SessionEvent::Kind::kKey: {
      for (const NamedKey& named : kNamedKeys) {
        if (event.key == named.code) return std::string("key ") + named.name;
      }
      if (event.key > 32 && event.key < 127) return "key " + std::string(1, char(event.key));
      return "key code " + std::to_string(event.key);
    }
    case SessionEvent::Kind::kTimeout:
      return "timeout";
    case SessionEvent::Kind::kMouse: {
      std::string line = "mouse " + scriptName(event.window) + " ";
      const bool known = event.mouseEvent >= 0 && event.mouseEvent < 10;
      line += known ? kMouseEventNames[event.mouseEvent] : "move";
      line += " " + std::to_string(event.x) + " " + std::to_string(event.y);
      if (event.flags & 8) line += " ctrl";
      if (event.flags & 16) line += " shift";
      if (event.flags & 32) line += " alt";
      return line;
    }
    case SessionEvent::Kind::kClose:
      return "close " + scriptName(event.window);
    case SessionEvent::Kind::kSlider:
      return "slider " + scriptName(event.window) + " " + scriptName(event.slider) + " " +
             std::to_string(event.value);
  }
  return "";
}

}  // namespace stemscan
