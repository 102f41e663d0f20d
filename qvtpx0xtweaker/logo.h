#ifndef LOGO_H
#define LOGO_H

#include <QPixmap>

// The logo at the top of the window: a 2190 x 416 picture whose decoding is
// the largest piece of work before the first frame. main() starts it on a
// thread of its own once the application object exists (Qt's image plugins
// and library paths are not to be touched from another thread before), and
// the window is built meanwhile.
namespace Logo {

// Starts decoding the logo in the background; call once, after the
// application object is made and before the form asks for the pixmap.
void startDecoding();
// The logo as a pixmap (GUI thread only): the background decoding's result
// when one was started, else decoded now.
QPixmap pixmap();

} // namespace Logo

#endif // LOGO_H
