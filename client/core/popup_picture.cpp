#include "popup_picture.h"

#include <algorithm>

#include "colours.h"
#include "markup.h"
#include "numbers.h"
#include "tag_attribute.h"
#include "text.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

constexpr std::int32_t kNoHighlight = 0xFFFFFF;
constexpr std::int32_t kBoxPen = 4;  // pixels, until a box character sets its own
constexpr std::int32_t kSingleLinePen = 3;
constexpr std::int32_t kDoubleLinePen = 6;

// The lines of a box character within its cell, as the segments from the cell's centre
// (or across it) they are drawn with.
enum Arm : unsigned { kUp = 1, kDown = 2, kLeft = 4, kRight = 8 };

struct BoxGlyph {
  unsigned char code;
  unsigned arms;
  bool doubled;
};

constexpr BoxGlyph kBoxGlyphs[] = {
    {179, kUp | kDown, false},          {186, kUp | kDown, true},
    {196, kLeft | kRight, false},       {205, kLeft | kRight, true},
    {218, kRight | kDown, false},       {201, kRight | kDown, true},
    {191, kLeft | kDown, false},        {187, kLeft | kDown, true},
    {192, kRight | kUp, false},         {200, kRight | kUp, true},
    {217, kLeft | kUp, false},          {188, kLeft | kUp, true},
    {195, kUp | kDown | kRight, false}, {204, kUp | kDown | kRight, true},
    {180, kUp | kDown | kLeft, false},  {185, kUp | kDown | kLeft, true},
    {194, kLeft | kRight | kDown, false}, {203, kLeft | kRight | kDown, true},
    {193, kLeft | kRight | kUp, false}, {202, kLeft | kRight | kUp, true},
};

const BoxGlyph* BoxGlyphOf(unsigned char code) {
  for (const BoxGlyph& glyph : kBoxGlyphs)
    if (glyph.code == code) return &glyph;
  return nullptr;
}

std::int32_t Whole(std::string_view text) { return LongOf(Val(text)); }

class PopupDrawer {
 public:
  PopupDrawer(std::string_view block, const PopupSetting& setting)
      : block_(block), s_(setting), lineHeight_(setting.cellHeight * 1.1) {}

  PopupPicture Draw() {
    CellFont();
    p_.left = (s_.formWidth - p_.width) / 2;
    p_.top = (s_.formHeight - p_.height) / 2;
    const std::size_t start = FindNoCase(block_, "<POPUP");
    std::size_t at = start == std::string_view::npos ? 0 : start + 6;
    const std::size_t close = block_.find('>', at);
    if (close == std::string_view::npos) throw VbError(vberr::kInvalidProcedureCall);
    const std::string header = Body(block_.substr(at, close - at));
    Geometry(header);
    PlaceOk();
    at = close + 1;
    const std::size_t next = block_.find('<', at);
    if (next != at && at < block_.size()) {
      std::string title(block_.substr(at, std::min(next, block_.size()) - at));
      for (std::size_t crlf = title.find("\r\n"); crlf != std::string::npos;
           crlf = title.find("\r\n"))
        title.erase(crlf, 2);
      p_.title = title;
      at = next;
    }
    Walk(at);
    return std::move(p_);
  }

 private:
  std::string Body(std::string_view text) const {
    std::string body(text);
    if (s_.commas) std::replace(body.begin(), body.end(), ',', ' ');
    return body;
  }

  void Geometry(const std::string& header) {
    if (UpperCase(TagAttribute(header, "SCREEN")) != "BOX") return;
    const double cw = s_.cellWidth;
    const double ch = s_.cellHeight;
    const std::int32_t h = Whole(TagAttribute(header, "HEIGHT"));
    if (h > 0) p_.height = ch * (static_cast<double>(h) + 1);
    const std::int32_t w = Whole(TagAttribute(header, "WIDTH"));
    if (w > 0) p_.width = cw * w;
    const auto inCells = [](double position, double cell) {
      const std::int32_t size = LongOf(cell);
      return size == 0 ? 0 : LongOf(position) / size;
    };
    std::int32_t t = Whole(TagAttribute(header, "TOP"));
    if (t == 40) t = 5;
    if (t == 0) t = inCells(p_.top, ch);
    p_.top = ch * t;
    top_ = t;
    std::int32_t l = Whole(TagAttribute(header, "LEFT"));
    if (t == 5 && l == 5) l = 40;
    if (l == 0) l = inCells(p_.left, cw);
    p_.left = cw * l;
    left_ = l;
  }

  void PlaceOk() {
    p_.okWidth = s_.cellWidth * 8;
    p_.okHeight = s_.cellHeight * 1.2;
    p_.okTop = p_.height - 1.3 * p_.okHeight;
    p_.okLeft = (p_.width - p_.okWidth) / 2;
  }

  void Walk(std::size_t at) {
    while (at < block_.size()) {
      if (block_[at] != '<') {
        const std::size_t next = block_.find('<', at);
        const std::size_t end = next == std::string_view::npos ? block_.size() : next;
        Text(block_.substr(at, end - at));
        at = end;
        continue;
      }
      const std::size_t close = block_.find('>', at);
      if (close == std::string_view::npos) throw VbError(vberr::kInvalidProcedureCall);
      const std::string body = Body(block_.substr(at + 1, close - at - 1));
      const std::string word = UpperCase(FirstWord(body));
      at = close + 1;
      if (word == "/POPUP") return;
      Tag(word, body);
    }
  }

  void Tag(const std::string& word, const std::string& body) {
    if (word == "HR") {
      const double y = y_ + s_.cellHeight / 2;
      Line(-100, y, p_.width + 100, y, QBColor(4));
    } else if (word == "ATF") {
      Atf(Whole(TagAttribute(body, "@")));
    } else if (word == "POSITION") {
      y_ = (Val(TagAttribute(body, "TOP")) - top_ - 2.5) * s_.cellHeight;
      x_ = (Val(TagAttribute(body, "LEFT")) - left_) * s_.cellWidth;
    }
  }

  void Atf(std::int32_t n) {
    if (n == -33) {
      highlight_ = 0;
      colour_ = 0xFFFFFF;
    } else if (n == -34) {
      highlight_ = QBColor(14);
    } else if (n == -35) {
      highlight_ = s_.trueColour ? Rgb(255, 127, 255) : QBColor(14);
    } else if (n == -36) {
      highlight_ = Rgb(255, 127, 127);
    } else if (n == -37) {
      highlight_ = Rgb(0, 255, 255);
    } else if (n == -38) {
      highlight_ = Rgb(191, 255, 191);
    } else if (n == -39) {
      highlight_ = s_.trueColour ? Rgb(192, 192, 255) : QBColor(11);
    } else if (n == -40) {
      highlight_ = kNoHighlight;
    } else if (n == -41 || n == -57) {
      colour_ = 0;
    } else if (n <= -42 && n >= -47) {
      colour_ = QBColor(n + 48);
    } else if (n == -48 || n == -64) {
      colour_ = 0xFFFFFF;
    } else if (n <= -58 && n >= -63) {
      colour_ = QBColor(n + 72);
    }
  }

  // Text goes one character a cell, so that it stands where the screen's cells are: its
  // font is sized to the cell as the terminal's is (a monospaced character is 12 twips wide
  // a point), or the letters of a wide screen stand apart; and its letters stay above the
  // middle of their line, where a rule runs (a point is 20 twips high, the capitals some
  // four fifths of it).
  void CellFont() {
    if (s_.cellWidth <= 0 || s_.cellHeight <= 0) return;
    p_.font.size = std::min(s_.cellWidth / 12, s_.cellHeight / 33);
  }

  void Text(std::string_view text) {
    if (text.empty()) return;
    const double cw = s_.cellWidth;
    if (highlight_ != kNoHighlight) {
      PopupStroke fill;
      fill.kind = PopupStroke::Kind::kFill;
      fill.x1 = x_;
      fill.y1 = y_;
      fill.x2 = x_ + cw * static_cast<double>(text.size());
      fill.y2 = y_ + lineHeight_;
      fill.colour = highlight_;
      p_.strokes.push_back(fill);
    }
    PopupStroke* run = nullptr;  // the text stroke the next plain character joins
    for (std::size_t i = 0; i < text.size(); ++i) {
      const double x = x_ + cw * static_cast<double>(i);
      const auto code = static_cast<unsigned char>(text[i]);
      if (code < 128) {
        if (run == nullptr) {
          PopupStroke stroke;
          stroke.kind = PopupStroke::Kind::kText;
          stroke.x1 = x;
          stroke.y1 = y_;
          stroke.advance = cw;
          stroke.colour = colour_;
          p_.strokes.push_back(stroke);
          run = &p_.strokes.back();
        }
        run->text += static_cast<char>(code);
        continue;
      }
      run = nullptr;
      if (const BoxGlyph* glyph = BoxGlyphOf(code)) BoxCharacter(*glyph, x);
    }
    x_ += cw * static_cast<double>(text.size());
  }

  void BoxCharacter(const BoxGlyph& glyph, double x) {
    pen_ = glyph.doubled ? kDoubleLinePen : kSingleLinePen;
    const double cx = x + s_.cellWidth / 2;
    const double cy = y_ + lineHeight_ / 2;
    const double right = x + s_.cellWidth;
    const double bottom = y_ + lineHeight_;
    const unsigned arms = glyph.arms;
    // A full line across the cell where both arms of a direction are there.
    if ((arms & (kUp | kDown)) == (kUp | kDown)) {
      Line(cx, y_, cx, bottom, colour_);
    } else if (arms & kDown) {
      Line(cx, cy, cx, bottom, colour_);
    } else if (arms & kUp) {
      Line(cx, cy, cx, y_, colour_);
    }
    if ((arms & (kLeft | kRight)) == (kLeft | kRight)) {
      Line(x, cy, right, cy, colour_);
    } else if (arms & kRight) {
      Line(cx, cy, right, cy, colour_);
    } else if (arms & kLeft) {
      Line(cx, cy, x, cy, colour_);
    }
  }

  void Line(double x1, double y1, double x2, double y2, std::int32_t colour) {
    PopupStroke line;
    line.kind = PopupStroke::Kind::kLine;
    line.x1 = x1;
    line.y1 = y1;
    line.x2 = x2;
    line.y2 = y2;
    line.colour = colour;
    line.penWidth = pen_;
    p_.strokes.push_back(line);
  }

  std::string_view block_;
  const PopupSetting& s_;
  const double lineHeight_;
  PopupPicture p_;
  std::int32_t top_ = 0;  // the popup's place in cells
  std::int32_t left_ = 0;
  double x_ = 0;  // the pen
  double y_ = 0;
  std::int32_t colour_ = QBColor(1);
  std::int32_t highlight_ = kNoHighlight;
  std::int32_t pen_ = kBoxPen;
};

}  // namespace

PopupPicture DrawPopup(std::string_view block, const PopupSetting& setting) {
  return PopupDrawer(block, setting).Draw();
}

}  // namespace orvik::client
