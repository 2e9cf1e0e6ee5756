#include "batch/batch_list.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Column(const BatchList& list, int c) {
    std::vector<std::string> out;
    for (int r = 1; r <= list.taskCount(); ++r) out.push_back(list.cell(r, c));
    return out;
}

using Strings = std::vector<std::string>;

BatchList FourCommands() {
    BatchList list;
    for (const char* line : {"one", "two", "three", "four"}) list.AddCommandTask(line);
    return list;
}

TEST(BatchList, EntryPointsWriteRowsThatStopAndAnswerYes) {
    BatchList list;
    list.task.onError = kContinueBatch;
    list.task.onQuery = kQueryNo;
    list.task.deleteArchive = 1;  // left by an earlier dialog
    list.task.type = kCompressTask;
    list.AddLoadProjectTask("/tmp/~1_tmp.ktp");
    EXPECT_TRUE(list.AddSfvTask("/in/my set.sfv", ""));
    EXPECT_TRUE(list.AddSfvTask("/in/a.sfv", "/in/b c.r00"));
    list.task.deleteArchive = 1;
    EXPECT_TRUE(list.AddDecompressTask("/in/my set.rar", "/tmp/d/"));
    list.AddCommandTask("mkdir \"/tmp/d\"");
    EXPECT_EQ(Column(list, 0), (Strings{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Column(list, 1), (Strings{"Load task project", "Verify SFV file", "Verify SFV file",
                                        "Decompress archive", "Execute command"}));
    EXPECT_EQ(Column(list, 3), Strings(5, "Stop Batch / Query YES"));
    EXPECT_EQ(Column(list, 4), (Strings{"/tmp/~1_tmp.ktp", "\"/in/my set.sfv\"", "\"/in/a.sfv\" \"/in/b c.r00\"",
                                        "\"/in/my set.rar\" \"/tmp/d/\"", "mkdir \"/tmp/d\""}));
    EXPECT_EQ(Column(list, 5), Strings(5, ""));
    // A name with a double quote cannot be written between quotes.
    EXPECT_FALSE(list.AddSfvTask("/in/a\"b.sfv", ""));
    EXPECT_FALSE(list.AddDecompressTask("/in/a.rar", "/tmp/\"x"));
    EXPECT_EQ(list.taskCount(), 5);
}

TEST(BatchList, OptionsTextParsesBothWays) {
    const struct {
        std::string text;
        int16_t onError, onQuery;
    } cases[] = {
        {"Stop Batch / Query YES", kStopBatch, kQueryYes},
        {"Continue Batch / Query NO", kContinueBatch, kQueryNo},
        {"Stop Batch / Query NO", kStopBatch, kQueryNo},
        {"Continue Batch / Query YES", kContinueBatch, kQueryYes},
        {"", kContinueBatch, kQueryNo},
        {"Stop Batch", kContinueBatch, kQueryNo},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int16_t e = 0, q = 0;
        BatchList::ParseTaskOptions(c.text, &e, &q);
        EXPECT_EQ(e, c.onError);
        EXPECT_EQ(q, c.onQuery);
        if (!c.text.empty() && c.text != "Stop Batch") {
            EXPECT_EQ(TaskOptionsText(c.onError, c.onQuery), c.text);
        }
    }
}

TEST(BatchList, RemoveMoveAndClear) {
    BatchList list = FourCommands();
    EXPECT_TRUE(list.Remove(2));
    EXPECT_EQ(Column(list, 0), (Strings{"1", "2", "3"}));
    EXPECT_EQ(Column(list, 4), (Strings{"one", "three", "four"}));
    EXPECT_FALSE(list.Remove(4)) << "the empty end row";
    EXPECT_FALSE(list.Remove(0));

    // A compress task carries its archive options when it moves.
    list.task = {};
    list.task.type = kCompressTask;
    list.task.params = "\"x.rar\" \"a.mpg\" ";
    list.task.volumeSize = 1;
    list.task.compression = 5;
    list.AddTaskFromRecord();
    EXPECT_EQ(list.MoveUp(4), 3);
    EXPECT_EQ(Column(list, 0), (Strings{"1", "2", "3", "4"}));
    EXPECT_EQ(list.row(3), (TaskRow{"3", "Compress archive", "", "Stop Batch / Query YES", "\"x.rar\" \"a.mpg\" ", "1/5/0"}));
    EXPECT_EQ(list.cell(4, 5), "");
    EXPECT_EQ(list.MoveUp(1), 0);
    EXPECT_EQ(list.MoveDown(4), 0);
    EXPECT_EQ(list.MoveDown(3), 4);
    EXPECT_EQ(list.cell(4, 5), "1/5/0");

    // While a batch runs the list only grows at its end.
    list.setLocked(true);
    EXPECT_FALSE(list.Remove(1));
    EXPECT_EQ(list.MoveUp(2), 0);
    EXPECT_EQ(list.MoveDown(1), 0);
    EXPECT_FALSE(list.Clear());
    EXPECT_FALSE(list.AppendStored({{"Execute command", "Stop Batch / Query YES", "x", ""}}));
    EXPECT_FALSE(list.UpdateRow(1));
    list.AddCommandTask("five");
    EXPECT_EQ(Column(list, 4), (Strings{"one", "three", "four", "\"x.rar\" \"a.mpg\" ", "five"}));
    list.setLocked(false);
    EXPECT_TRUE(list.Clear());
    EXPECT_EQ(list.taskCount(), 0);
}

TEST(BatchList, OpenedTasksAreNumberedAfterTheOldOnes) {
    BatchList list = FourCommands();
    list.Remove(4);
    list.AppendStored({{"Load task project", "Continue Batch / Query NO", "/p.ktp", ""},
                       {"Compress archive", "Stop Batch / Query YES", "\"a.rar\"<->", "0/0/0"}});
    EXPECT_EQ(Column(list, 0), (Strings{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Column(list, 4), (Strings{"one", "two", "three", "/p.ktp", "\"a.rar\"<->"}));
    EXPECT_EQ(list.Stored()[4], (std::array<std::string, 4>{"Compress archive", "Stop Batch / Query YES",
                                                            "\"a.rar\"<->", "0/0/0"}));
}

TEST(BatchList, SeveralArchivesWithDeletionKeepNumbersEqualToRows) {
    BatchList list;
    list.AddCommandTask("first");
    list.task = {};
    list.task.type = kDecompressTask;
    list.task.deleteArchive = 1;
    list.task.onError = kContinueBatch;
    list.task.onQuery = kQueryNo;
    list.task.destination = "/out/dir/";
    list.task.params = "\"/in/a b.rar\"<+>\"/in/c.rar\"<+>\"/in/d.rar\" \"/out/dir/\"";
    EXPECT_EQ(list.AddTaskFromRecord(), 6);
    EXPECT_EQ(Column(list, 0), (Strings{"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(Column(list, 1), (Strings{"Execute command", "Decompress archive", "Delete RAR archive",
                                        "Decompress archive", "Delete RAR archive", "Decompress archive",
                                        "Delete RAR archive"}));
    EXPECT_EQ(Column(list, 4), (Strings{"first", "\"/in/a b.rar\" \"/out/dir/\"", "", "\"/in/c.rar\" \"/out/dir/\"", "",
                                        "\"/in/d.rar\" \"/out/dir/\"", ""}));
    EXPECT_EQ(list.cell(7, 3), "Continue Batch / Query NO");
    // An edit of row 4 now lands on row 4.
    ASSERT_TRUE(list.ReadTaskRow(4));
    list.task.params = "\"/in/e.rar\" \"/out/dir/\"";
    ASSERT_TRUE(list.UpdateRow(list.task.number));
    EXPECT_EQ(list.cell(4, 4), "\"/in/e.rar\" \"/out/dir/\"");
    EXPECT_EQ(list.cell(2, 4), "\"/in/a b.rar\" \"/out/dir/\"");
}

TEST(BatchList, CompressInCdFoldersWithSfvAddsTwoRowsPerImage) {
    BatchList list;
    list.task = {};
    list.task.type = kCompressTask;
    list.task.inCdFolders = 1;
    list.task.sfvForRar = 1;
    list.task.params = list.task.sfvName = list.task.volumeMask = "my film-cd";
    list.task.volumeSize = 2;
    list.task.onError = kContinueBatch;
    const CdFolderSource cd{3, 2, "/out/"};
    EXPECT_EQ(list.AddTaskFromRecord(cd), 4);
    EXPECT_EQ(Column(list, 1),
              (Strings{"Compress archive", "Create SFV file", "Compress archive", "Create SFV file"}));
    EXPECT_EQ(Column(list, 4), (Strings{"\"/out/CD1/my film-cd1.rar\" \"/out/CD1/*.*\"",
                                        "\"/out/CD1/my film-cd1.sfv\" \"/out/CD1/my film-cd1.r??\"",
                                        "\"/out/CD2/my film-cd2.rar\" \"/out/CD2/*.*\"",
                                        "\"/out/CD2/my film-cd2.sfv\" \"/out/CD2/my film-cd2.r??\""}));
    EXPECT_EQ(Column(list, 5), (Strings{"2/0/0", "", "2/0/0", ""}));
    EXPECT_EQ(Column(list, 3), Strings(4, "Continue Batch / Query YES"));
    // Without a build list nothing is added.
    EXPECT_EQ(list.AddTaskFromRecord(CdFolderSource{0, 2, "/out/"}), 0);
}

TEST(BatchList, CompressWithSfvQuotesTheSfvRow) {
    BatchList list;
    list.task = {};
    list.task.type = kCompressTask;
    list.task.sfvForRar = 1;
    list.task.onError = kContinueBatch;
    list.task.params = "\"/o/my film.rar\"<->";
    list.task.sfvName = "/o/my film.sfv";
    list.task.volumeMask = "/o/my film.r??";
    EXPECT_EQ(list.AddTaskFromRecord(), 2);
    EXPECT_EQ(list.row(2), (TaskRow{"2", "Create SFV file", "", "Stop Batch / Query YES",
                                    "\"/o/my film.sfv\" \"/o/my film.r??\"", ""}));
    EXPECT_EQ(list.task.onError, kContinueBatch) << "the record keeps the dialog's choice";
}

// Reading a row back for the task dialog: names with blanks stay whole, the
// delete flag comes from the row, "<->" means the previous task's files.
TEST(BatchList, RowsReadBackAsTheyWereWritten) {
    BatchList list;
    list.AppendStored({
        {"Compress archive", "Continue Batch / Query NO", "\"my movie.rar\" \"a.mpg\" \"b c.mpg\" ", "2/4/0"},
        {"Create SFV file", "Stop Batch / Query YES", "my.sfv my.r??", ""},
        {"Verify SFV file", "Stop Batch / Query YES", "\"my film.sfv\"<->", ""},
        {"Delete RAR archive", "Stop Batch / Query NO", "", ""},
        {"Something else", "Stop Batch / Query NO", "ls -l", ""},
    });
    list.task.deleteAfterArchiving = 1;  // a stored default of 1
    ASSERT_TRUE(list.ReadTaskRow(1));
    EXPECT_EQ(list.task.type, kCompressTask);
    EXPECT_EQ(list.task.params, "\"my movie.rar\"");
    EXPECT_EQ(list.task.selectedFiles, "\"a.mpg\" \"b c.mpg\" ");
    EXPECT_EQ(list.task.fromSelectedFiles, 1);
    EXPECT_EQ(list.task.volumeSize, 2);
    EXPECT_EQ(list.task.compression, 4);
    EXPECT_EQ(list.task.deleteAfterArchiving, 0);
    EXPECT_EQ(list.task.onError, kContinueBatch);
    EXPECT_EQ(list.task.onQuery, kQueryNo);
    // Written back untouched, the row is unchanged: no deletion appears.
    list.task.params += " " + list.task.selectedFiles;
    list.UpdateRow(1);
    EXPECT_EQ(list.cell(1, 4), "\"my movie.rar\" \"a.mpg\" \"b c.mpg\" ");
    EXPECT_EQ(list.cell(1, 5), "2/4/0");

    ASSERT_TRUE(list.ReadTaskRow(2));  // an old unquoted SFV row
    EXPECT_EQ(list.task.params, "my.sfv");
    EXPECT_EQ(list.task.selectedFiles, "my.r??");
    ASSERT_TRUE(list.ReadTaskRow(3));
    EXPECT_EQ(list.task.type, kVerifySfvTask);
    EXPECT_EQ(list.task.params, "\"my film.sfv\"");
    EXPECT_EQ(list.task.fromSelectedFiles, 0);
    ASSERT_TRUE(list.ReadTaskRow(4));
    EXPECT_EQ(list.task.type, kDecompressTask);
    EXPECT_EQ(list.task.deleteArchive, 1);
    ASSERT_TRUE(list.ReadTaskRow(5));
    EXPECT_EQ(list.task.type, kCommandTask);
    EXPECT_EQ(list.task.params, "ls -l");
    // A row edited into another type loses its archive options.
    ASSERT_TRUE(list.ReadTaskRow(1));
    list.task.type = kCommandTask;
    list.UpdateRow(1);
    EXPECT_EQ(list.cell(1, 5), "");
    EXPECT_FALSE(list.ReadTaskRow(6));
}

}  // namespace
