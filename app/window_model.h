// The model of a freshly opened window, built from the session's application state.
#pragma once

struct Session;

// Builds the session's control model from its application state: the fixed lists, their
// selections, the collection list and entry, all three buttons hidden; then renders it all.
void BuildControls(Session& s);
