// The slide show's walk through the folder's names.
#pragma once

namespace lumra {

// Whether a show may start on the name at selection of count names: not with a single
// name (or none), and without repeat not on the last one.
bool SlideShowCanStart(int selection, int count, bool repeat);

struct SlideStep {
    int next = -1;       // the name to show now; -1: nothing to show, the show ends
    bool goOn = false;   // the timer is armed again after it
};

// The step after the name at selection. With repeat the last name is followed by the
// first; without it the show ends once the last name is shown.
SlideStep NextSlide(int selection, int count, bool repeat);

}  // namespace lumra
