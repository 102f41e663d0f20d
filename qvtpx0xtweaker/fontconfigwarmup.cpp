#include "fontconfigwarmup.h"

#ifdef QVTPX_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

FontConfigWarmUp::FontConfigWarmUp()
{
#ifdef QVTPX_HAVE_FONTCONFIG
    reading = std::thread(FcInit);
#endif
}

FontConfigWarmUp::~FontConfigWarmUp()
{
    finish();
}

void FontConfigWarmUp::finish()
{
    if (reading.joinable())
        reading.join();
}
