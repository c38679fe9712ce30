#include "app/ClosedViews.hpp"

#include <QPixmapCache>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace tarvik::app {

void releaseClosedViewMemory() {
    QTimer::singleShot(0, [] {
        QPixmapCache::clear();
#ifdef __GLIBC__
        malloc_trim(0);
#endif
    });
}

}  // namespace tarvik::app
