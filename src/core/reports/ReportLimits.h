#pragma once

#include <QtGlobal>

#include <chrono>

namespace orv {

// How far a report definition may go before it is stopped. The definitions are files an agency
// edits: a mistaken query or template must end with a message, not take the machine with it.
// The README beside the definitions lists these; keep both in step.
struct ReportLimits {
    // Rows one query may return.
    long long rows = 2'000'000;
    // Time one query may spend running; for the body, the time spent reading its rows.
    std::chrono::milliseconds queryTime{60'000};
    // Rows of the queries other than the body are held for the templates: about this much.
    qint64 heldBytes = 256LL << 20;
    // Text one template may produce in one rendering (the head, one block, the footer...).
    qint64 outputBytes = 8LL << 20;
    // Sections one template may nest inside each other.
    int nesting = 16;
    // The body laid out on pages, which is kept for the pages to be shown again: about this
    // much. Blocks printed as one rich-text document, up to a page break, at most outputBytes.
    qint64 laidOutBytes = 512LL << 20;
};

} // namespace orv
