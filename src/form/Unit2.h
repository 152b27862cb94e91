// The About window's data; the Qt window lays it out.
#pragma once
#include <string>

#include "app/desktop.h"

namespace brim {

struct TForm2 {
  static constexpr int kClientWidth = 355;
  static constexpr int kClientHeight = 93;
  // Label positions in the client area.
  static constexpr int kLabel1X = 32, kLabel1Y = 8;
  static constexpr int kLabel2X = 192, kLabel2Y = 40;
  static constexpr int kLabel3X = 168, kLabel3Y = 64;
  // Navy, the link's text colour.
  static constexpr int kLinkRed = 0, kLinkGreen = 0, kLinkBlue = 128;

  // Texts (CP932).
  static const std::string& Caption();     // バージョン情報
  static const std::string& Version();     // Brimlode v0.40
  static const std::string& Notice();
  static const std::string& Link();        // the home-page address

  // Label3Click: asks the shell to open the link's text.
  static void Label3Click(Desktop& desktop, const std::string& labelText);
};

}  // namespace brim
