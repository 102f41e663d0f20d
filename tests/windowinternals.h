#ifndef WINDOWINTERNALS_H
#define WINDOWINTERNALS_H

#include "qvtpx0xtweaker.h"

// The tests' door to the window's private operations and upload state.
struct WindowInternals
{
    static QByteArray buildParameterFile(const qvtpx0xtweaker &window) { return window.buildParameterFile(); }
    static void applyParameterFile(qvtpx0xtweaker &window, const QByteArray &text)
    {
        window.applyParameterFile(text);
    }
    static QUrl buildDeviceUrl(const qvtpx0xtweaker &window) { return window.buildDeviceUrl(); }
    static const QByteArray *uploadData(const qvtpx0xtweaker &window) { return window.uploadData; }
    static const QBuffer *uploadBuffer(const qvtpx0xtweaker &window) { return window.uploadBuffer; }
    static void setTransferTimeLimits(qvtpx0xtweaker &window, const FtpTimeLimits &limits)
    {
        window.transferTimeLimits = limits;
    }
};

#endif // WINDOWINTERNALS_H
