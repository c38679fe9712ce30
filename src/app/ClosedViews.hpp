#pragma once

namespace tarvik::app {

// Once a view closes, hands back what it left behind: the pixmaps Qt cached for its painting and the
// free pages the allocator keeps. Runs on the next turn of the event loop, after the view's own
// objects are gone.
void releaseClosedViewMemory();

}  // namespace tarvik::app
