// The main window closed while its parts still have something to say: the history's writer,
// stopped with reads it could not take, says so as it goes, into a log pane that must still be
// there.
#include <gtest/gtest.h>

#include <string>

#include "WindowTest.h"
#include "app/HistoryRecording.h"
#include "history/HistoryWriter.h"

namespace corvane::test {
namespace {

using CloseTest = TWindowTest;

TEST_F(CloseTest, AHistoryBehindAtCloseSaysSoWithoutHarm) {
    frm = std::make_unique<TfrmCorv>(QStringList{}, folder.filePath("corvane"));
    frm->show();
    THistoryWriter* writer = frm->History().Writer();
    ASSERT_NE(writer, nullptr);
    // Twice what the queue holds, faster than any disk takes it: some are refused.
    THistoryRead read;
    read.SerNo = 1;
    size_t refused = 0;
    for (size_t i = 0; i < 2 * THistoryWriter::QueueMax; ++i) {
        read.MonoMs = int64_t(i);
        refused += writer->Push(read) ? 0 : 1;
    }
    ASSERT_GT(refused, 0u);
    frm.reset(); // the writer stops and says how many reads it could not take
}

} // namespace
} // namespace corvane::test
