// The main window's utility list: the clip editor on a chosen MPEG file and
// the CD-i subtitle converter.
#pragma once

class TForm1;

// Item 0 the clip editor, item 1 the converter (the user picks the source).
void RunUtility(TForm1& window, int item);
// The converter on the job's own source image (mode 0) or on a source the
// user picks (mode 1).
void RunSubtitleConverter(TForm1& window, int mode);
