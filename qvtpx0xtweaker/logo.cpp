#include "logo.h"

#include <QImage>

#include <future>

namespace {

const char logoPath[] = ":/res/Quorvella_logo_h.png";

std::future<QImage> &decoding()
{
    static std::future<QImage> result;
    return result;
}

// What the label would get from QPixmap(path): the decoded image, already
// in the pixel format that a pixmap with alpha takes. Converted in place, so
// that the 3.6 MB of pixels are never held twice.
QImage decode()
{
    QImage image(QString::fromLatin1(logoPath));
    const QImage::Format format
        = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    return std::move(image).convertToFormat(format);
}

} // namespace

void Logo::startDecoding()
{
    decoding() = std::async(std::launch::async, decode);
}

QPixmap Logo::pixmap()
{
    std::future<QImage> &background = decoding();
    return QPixmap::fromImage(background.valid() ? background.get() : decode());
}
