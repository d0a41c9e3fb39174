// What a screen reader reads of the receive display: a read-only text whose
// text is the rows in sight, one line each, with the display's accessible
// name. The rows in sight, not the history: a history of a million lines
// would make every question of the reader cost a pass over all of it. The
// selection, the caret and the characters' cells on screen are those of the
// view; the view itself tells the reader of each catch-up's text and of each
// move of the caret (DisplayView::TellText, TellCaret), and only while one
// listens.
#pragma once

namespace kestrel::qt {

// Makes Qt's accessibility ask for this interface for every DisplayView;
// safe to call more than once.
void InstallDisplayAccessible();

} // namespace kestrel::qt
