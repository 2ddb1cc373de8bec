// What a host may follow of a link as it runs: the progress of the word
// image, the one part of a link whose time grows with the project's audio
// (pages written of the word image's total), and the files the link reads
// (for dependency files).
#pragma once

namespace zlt {

using PageProgress = void (*)(unsigned pagesDone, unsigned pagesTotal);

void SetPageProgress(PageProgress fn);

// Calls the installed progress function, if any.
void ReportPageProgress(unsigned pagesDone, unsigned pagesTotal);

using InputNotify = void (*)(const char* path);

void SetInputNotify(InputNotify fn);

// Tells the installed function, if any, that the link read the file at path.
void ReportInput(const char* path);

}  // namespace zlt
