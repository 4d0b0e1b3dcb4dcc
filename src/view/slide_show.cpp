#include "view/slide_show.h"

namespace lumra {

bool SlideShowCanStart(int selection, int count, bool repeat) {
    if (count <= 1) return false;
    if (!repeat && selection >= count - 1) return false;
    return true;
}

SlideStep NextSlide(int selection, int count, bool repeat) {
    SlideStep step;
    if (count <= 0) return step;
    // A selection outside the list (lost, or the list shrank) counts as before the first.
    const int s = (selection < 0 || selection >= count) ? -1 : selection;
    if (repeat) {
        step.next = s >= count - 1 ? 0 : s + 1;
        step.goOn = true;
        return step;
    }
    if (s + 1 >= count) return step;
    step.next = s + 1;
    step.goOn = s + 1 < count - 1;
    return step;
}

}  // namespace lumra
