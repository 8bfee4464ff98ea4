#pragma once

#include "browser/dom.h"
#include "core/form_view.h"
#include "core/link_label.h"

namespace korvane {

// Makes labels 1..10 from the template, element 0: same caption, place, colour and font,
// hidden. Runs once at start, before the notice page is requested.
void PrepareLinkLabels(LinkLabels &labels, FormView &view);

// Reads the notice page: every anchor among the body's direct children fills the label with
// the child's index, side by side from left 240; an element with id "VersionDesc" whose value
// is not "0" raises a message box. A failure (no body, an anchor past label 10, ...) ends the
// reading at once; labels filled so far stay. Never throws.
void ReadNoticePage(const Document &document, LinkLabels &labels, FormView &view);

} // namespace korvane
