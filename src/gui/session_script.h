// Session scripts: a text form of everything a user does in the windows, one event a line.
//
//   seed N                                   random seed of the session (before any event)
//   key K                                    a key: one printable character, or space, enter,
//                                            esc, tab, or "code N"
//   timeout                                  a wait that ends without a key
//   mouse WINDOW EVENT X Y [ctrl] [shift] [alt]
//                                            EVENT: move ldown rdown mdown lup rup mup
//                                                   ldbl rdbl mdbl
//   slider WINDOW NAME VALUE                 the user moves a slider
//   close WINDOW                             the user closes a window (its close button)
//
// Blank lines and lines starting with '#' are ignored; words are separated by blanks, so
// window and slider names are written with '_' in place of a blank ("orientation_parameter").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stemscan {

struct SessionEvent {
  enum class Kind { kKey, kTimeout, kMouse, kSlider, kClose };
  Kind kind = Kind::kTimeout;
  int line = 0;  // line number in the script, for messages
  int key = 0;   // kKey: the key code
  std::string window;
  int mouseEvent = 0;  // kMouse: the window library's event code
  int x = 0;
  int y = 0;
  int flags = 0;       // kMouse: modifier bits (ctrl 8, shift 16, alt 32)
  std::string slider;  // kSlider
  int value = 0;
};

struct SessionScript {
  std::string path;
  std::optional<uint32_t> seed;
  std::vector<SessionEvent> events;
};

// Parses a script's text. On a malformed line, returns nothing and sets `error` to a message
// naming the file and the line number.
std::optional<SessionScript> parseSessionScript(const std::string& text, const std::string& path,
                                                std::string* error);

// Reads and parses a script file; a file that cannot be read is an error too.
std::optional<SessionScript> loadSessionScript(const std::string& path, std::string* error);

// The script line of one event (without the line break), as parseSessionScript reads it.
std::string formatSessionEvent(const SessionEvent& event);

// Names in scripts carry '_' where the window library's names carry a blank.
std::string scriptName(const std::string& name);
std::string windowName(const std::string& scriptName);

}  // namespace stemscan
