#ifndef FONTCONFIGWARMUP_H
#define FONTCONFIGWARMUP_H

#include <thread>

// Qt reads the system's font configuration (fontconfig's XML files and
// caches: about a fifth of the start-up) when the first widget asks for a
// font, on the GUI thread. This reads it on a thread of its own while the
// application object is made. It touches nothing of Qt, so it may start
// before the application object exists; fontconfig keeps one configuration
// per process and loads it thread-safely. It is built on the Unix systems
// other than macOS, where Qt reads its fonts through fontconfig.
class FontConfigWarmUp
{
public:
    FontConfigWarmUp();
    ~FontConfigWarmUp();

    // Returns once the configuration is read: call it before the first
    // widget is made, or Qt would read a second one meanwhile.
    void finish();

private:
    std::thread reading;
};

#endif // FONTCONFIGWARMUP_H
