// A window that can be kept above all other windows (the popup windows of the screen).
//
// Implemented by the widgets in client/ui; called on the GUI thread. Position, size and
// activation stay as they are; a failure of the window system is not reported.

#ifndef ORVIK_CLIENT_CORE_TOP_MOST_H_
#define ORVIK_CLIENT_CORE_TOP_MOST_H_

namespace orvik::client {

class TopMostWindow {
 public:
  virtual ~TopMostWindow() = default;

  // True: into the top-most band of the window order; false: back out of it.
  virtual void SetTopMost(bool onTop) = 0;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TOP_MOST_H_
