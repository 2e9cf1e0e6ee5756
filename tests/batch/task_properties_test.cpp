#include "batch/task_properties.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/process.h"
#include "tests/support/fakes.h"

namespace {

const char* const kKey = "\\Software\\Pellmor";

TEST(TaskDialog, EmptyRegistryOpensOnAnArchiveOfSelectedFiles) {
    fakes::MemoryRegistry registry;
    TBatchTask task;
    TaskDialogModel dialog(task, 0);
    dialog.LoadTaskDefaults(registry);
    EXPECT_EQ(dialog.type, kArchiveRadio);
    EXPECT_EQ(task.type, kCompressTask);
    EXPECT_TRUE(dialog.stopBatch);
    EXPECT_TRUE(dialog.queryYes);
    EXPECT_EQ(dialog.volume, 2);
    EXPECT_EQ(dialog.compression, 0);
    EXPECT_EQ(dialog.sourceChoice, 0);
    EXPECT_FALSE(dialog.fileInFolder || dialog.createSfvRar || dialog.deleteTask || dialog.yesDelete);
    EXPECT_FALSE(registry.keyExists(kKey)) << "loading creates nothing";
}

TEST(TaskDialog, StoredDefaultsOutOfRangeTakeTheirDefaults) {
    const struct {
        const char* name;
        int stored;
        int TaskDialogModel::*field;
        int expected;
    } cases[] = {
        // A type the radios do not know is the command line; a volume
        // size off the radios ticks none.
        {"TaskType", 9, &TaskDialogModel::type, kExecuteRadio},
        {"TaskType", -1, &TaskDialogModel::type, kExecuteRadio},
        {"TaskType", 3, &TaskDialogModel::type, kExecuteRadio},
        {"TaskType", 4, &TaskDialogModel::type, kCheckSfvRadio},
        {"TaskType", 0, &TaskDialogModel::type, kLoadTaskRadio},
        {"ArchiveVolumeSize", 4, &TaskDialogModel::volume, -1},
        {"ArchiveVolumeSize", -1, &TaskDialogModel::volume, -1},
        {"ArchiveVolumeSize", 0, &TaskDialogModel::volume, 0},
        {"ArchiveVolumeSize", 3, &TaskDialogModel::volume, 3},
        {"ArchiveCompression", 6, &TaskDialogModel::compression, 0},
        {"ArchiveCompression", 5, &TaskDialogModel::compression, 5},
        {"TaskFromWith", 3, &TaskDialogModel::sourceChoice, 0},
        {"TaskFromWith", 1, &TaskDialogModel::sourceChoice, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + std::to_string(c.stored));
        fakes::MemoryRegistry registry;
        registry.openKey(kKey, true);
        registry.writeInteger(c.name, c.stored);
        registry.closeKey();
        TBatchTask task;
        TaskDialogModel dialog(task, 0);
        dialog.LoadTaskDefaults(registry);
        EXPECT_EQ(dialog.*c.field, c.expected);
        if (c.field == &TaskDialogModel::type) {
            EXPECT_EQ(task.type, c.expected) << "a new task takes the ticked type";
            // A row being edited keeps its own.
            TBatchTask row;
            row.type = kVerifySfvTask;
            TaskDialogModel edit(row, 1);
            edit.LoadTaskDefaults(registry);
            EXPECT_EQ(row.type, kVerifySfvTask);
        }
        if (c.field == &TaskDialogModel::volume) {
            // None ticked is stored and taken as no volumes.
            dialog.SaveTaskDefaults(registry);
            registry.openKey(kKey, false);
            EXPECT_EQ(registry.readInteger("ArchiveVolumeSize"), std::max(c.expected, 0));
            registry.closeKey();
            dialog.archiveName = "a.rar", dialog.selFiles = "\"a\" ";
            ASSERT_TRUE(dialog.Ok());
            EXPECT_EQ(task.volumeSize, std::max(c.expected, 0));
        }
    }
}

// Cancel and OK alike store the choices; the next dialog opens on them,
// CD folders included.
TEST(TaskDialog, ChoicesAreStoredForTheNextDialog) {
    fakes::MemoryRegistry registry;
    TBatchTask task;
    {
        TaskDialogModel dialog(task, 0, "/out/My Film.cue");
        dialog.LoadTaskDefaults(registry);
        dialog.setSource(1);
        dialog.setFileInFolder(true);
        dialog.stopBatch = false;
        dialog.queryYes = false;
        dialog.volume = 3;
        dialog.compression = 4;
        dialog.yesDelete = true;
        dialog.setCreateSfvRar(true);
        dialog.SaveTaskDefaults(registry);
    }
    TaskDialogModel next(task, 0, "/out/Other.cue");
    next.LoadTaskDefaults(registry);
    EXPECT_EQ(next.type, kArchiveRadio);
    EXPECT_TRUE(next.cdFolders());
    EXPECT_EQ(next.cdArchiveName, "Other-cd");
    EXPECT_FALSE(next.stopBatch);
    EXPECT_FALSE(next.queryYes);
    EXPECT_EQ(next.volume, 3);
    EXPECT_EQ(next.compression, 4);
    EXPECT_TRUE(next.yesDelete);
    EXPECT_TRUE(next.createSfvRar);
}

TEST(TaskDialog, EachTypeEnablesItsControls) {
    using S = ControlState;
    const S off{false, false}, on{true, false}, edit{true, true}, shown{true, false};
    const struct {
        int type, source;
        bool cd, sfv;
        std::map<std::string, S> expected;  // the rest are off, edits shown read-only
    } cases[] = {
        {kLoadTaskRadio, 0, false, false, {{"taskProfile", edit}, {"loadTaskProfile", on}}},
        {kUnarchiveRadio, 0, false, false,
         {{"archiveName", edit}, {"archiveDest", edit}, {"archiveSelect", on}, {"decompDir", on}, {"deleteTask", on}}},
        {kExecuteRadio, 1, false, false, {{"extCmdLine", edit}, {"extCmdLoad", on}}},
        {kArchiveRadio, 0, false, true,
         {{"archiveName", edit}, {"archiveSelect", on}, {"storeSelFileBox", on}, {"storeOutFileBox", on},
          {"createSFVRar", on}, {"volNone", on}, {"vol15", on}, {"vol20", on}, {"vol50", on}, {"compressBar", on},
          {"selFiles", edit}, {"selFileButton", on}, {"sfvFile", edit}, {"sfvSelect", on}}},
        {kArchiveRadio, 1, true, true,
         {{"storeSelFileBox", on}, {"storeOutFileBox", on}, {"createSFVRar", on}, {"volNone", on}, {"vol15", on},
          {"vol20", on}, {"vol50", on}, {"compressBar", on}, {"sfvFile", off}, {"CDArchiveName", edit}}},
        {kCheckSfvRadio, 0, false, false,
         {{"sfvSelect", on}, {"storeSelFileBox", on}, {"storeOutFileBox", on}, {"selFiles", edit}, {"selFileButton", on}}},
        {kCreateSfvRadio, 1, false, false, {{"sfvSelect", on}, {"storeSelFileBox", on}, {"storeOutFileBox", on}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " source " + std::to_string(c.source));
        TBatchTask task;
        TaskDialogModel dialog(task, 0, "/out/film.cue");
        dialog.setType(c.type);
        dialog.setSource(c.source);
        dialog.setFileInFolder(c.cd);
        dialog.setCreateSfvRar(c.sfv);
        for (const auto& [name, state] : dialog.States()) {
            SCOPED_TRACE(name);
            const bool isEdit = name == "taskProfile" || name == "archiveName" || name == "archiveDest" ||
                                name == "extCmdLine" || name == "selFiles" || name == "sfvFile" || name == "CDArchiveName";
            const auto it = c.expected.find(name);
            EXPECT_EQ(state, it != c.expected.end() ? it->second : isEdit ? shown : off);
        }
    }
}

TEST(TaskDialog, OkWritesTheRecordForEachType) {
    TBatchTask task;
    TaskDialogModel dialog(task, 0, "/out/film.cue");
    dialog.setType(kUnarchiveRadio);
    dialog.archivesChosen({"/in/a b.rar", "/in/c.rar"});
    EXPECT_EQ(dialog.archiveDest, "/in/");
    dialog.archiveDest = "/tmp/unpacked";
    dialog.deleteTask = true;
    ASSERT_TRUE(dialog.Ok());
    EXPECT_EQ(task.params, "\"/in/a b.rar\"<+>\"/in/c.rar\" \"/tmp/unpacked/\"");
    EXPECT_EQ(task.destination, "/tmp/unpacked/");
    EXPECT_EQ(task.deleteArchive, 1);
    // The list turns it into a row per archive, each followed by its deletion.
    BatchList list;
    list.task = task;
    EXPECT_EQ(list.AddTaskFromRecord(), 4);
    EXPECT_EQ(list.cell(3, 4), "\"/in/c.rar\" \"/tmp/unpacked/\"");

    dialog.setType(kArchiveRadio);
    dialog.setSource(1);
    dialog.setFileInFolder(true);
    EXPECT_EQ(dialog.cdArchiveName, "film-cd");
    EXPECT_EQ(dialog.exampleLabel(), "e.g. film-cd1.rar, film-cd2.rar");
    dialog.setCreateSfvRar(true);
    ASSERT_TRUE(dialog.Ok());
    EXPECT_EQ(task.type, kCompressTask);
    EXPECT_EQ(task.inCdFolders, 1);
    EXPECT_EQ(task.params, "film-cd");
    EXPECT_EQ(task.sfvName, "film-cd");
    EXPECT_EQ(task.deleteArchive, 0);

    dialog.setFileInFolder(false);
    dialog.setSource(0);
    dialog.archiveName = "/out/my film.rar";
    dialog.setCreateSfvRar(true);
    EXPECT_EQ(dialog.sfvFile, "/out/my film.sfv");
    dialog.filesChosen({"/out/a.mpg", "/out/b c.mpg"});
    ASSERT_TRUE(dialog.Ok());
    EXPECT_EQ(task.params, "\"/out/my film.rar\" \"/out/a.mpg\" \"/out/b c.mpg\" ");
    EXPECT_EQ(task.volumeMask, "/out/my film.r??");
    EXPECT_EQ(task.fromSelectedFiles, 1);

    dialog.setType(kCheckSfvRadio);
    dialog.setSource(1);
    ASSERT_TRUE(dialog.Ok());
    EXPECT_EQ(task.params, "\"/out/my film.sfv\"<->");
    EXPECT_EQ(task.type, kVerifySfvTask);
}

TEST(TaskDialog, MissingOrUnquotableFieldsKeepTheDialogOpen) {
    const struct {
        const char* what;
        std::function<void(TaskDialogModel&)> set;
    } cases[] = {
        {"no project", [](TaskDialogModel& d) { d.setType(kLoadTaskRadio); }},
        {"no destination", [](TaskDialogModel& d) { d.setType(kUnarchiveRadio), d.archiveName = "a.rar"; }},
        {"quote in archive", [](TaskDialogModel& d) {
             d.setType(kUnarchiveRadio), d.archiveName = "a\"b.rar", d.archiveDest = "/d";
         }},
        {"no selected files", [](TaskDialogModel& d) { d.archiveName = "a.rar"; }},
        {"no SFV file", [](TaskDialogModel& d) {
             d.archiveName = "a.rar", d.selFiles = "\"x\" ", d.setCreateSfvRar(true), d.sfvFile.clear();
         }},
        {"no CD base name", [](TaskDialogModel& d) { d.setSource(1), d.setFileInFolder(true); }},
        {"quote in SFV name", [](TaskDialogModel& d) { d.setType(kCreateSfvRadio), d.sfvFile = "a\".sfv"; }},
        {"no command", [](TaskDialogModel& d) { d.setType(kExecuteRadio); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TBatchTask task;
        task.params = "untouched";
        TaskDialogModel dialog(task, 0);  // no output name: no CD base name either
        c.set(dialog);
        EXPECT_FALSE(dialog.Ok());
        EXPECT_EQ(task.params, "untouched");
    }
}

// Editing an untouched compress row that does not delete writes it back
// unchanged, whatever the stored default says.
TEST(TaskDialog, EditingKeepsTheRowsDeleteFlag) {
    fakes::MemoryRegistry registry;
    registry.openKey(kKey, true);
    registry.writeInteger("DeleteFilesAfterArchiving", 1);
    registry.closeKey();
    BatchList list;
    list.AppendStored({{"Compress archive", "Stop Batch / Query YES", "\"/o/my film.rar\" \"/o/a b.mpg\" ", "2/0/0"}});
    ASSERT_TRUE(list.ReadTaskRow(1));
    TaskDialogModel dialog(list.task, 1);
    dialog.LoadTaskDefaults(registry);
    dialog.LoadFromTask();
    EXPECT_EQ(dialog.archiveName, "/o/my film.rar");
    EXPECT_EQ(dialog.selFiles, "\"/o/a b.mpg\" ");
    EXPECT_FALSE(dialog.yesDelete);
    ASSERT_TRUE(dialog.Ok());
    ASSERT_TRUE(list.UpdateRow(list.task.number));
    EXPECT_EQ(list.row(1), (TaskRow{"1", "Compress archive", "", "Stop Batch / Query YES",
                                    "\"/o/my film.rar\" \"/o/a b.mpg\" ", "2/0/0"}));
}

// A compression row without options stays without them (the archiver's own
// level, not level 0) until an option is chosen.
TEST(TaskDialog, EditingKeepsARowWithoutOptionsUntilOneIsChosen) {
    fakes::MemoryRegistry registry;
    const auto edited = [&](const std::function<void(TaskDialogModel&)>& change) {
        BatchList list;
        list.AppendStored({{"Compress archive", "Stop Batch / Query YES", "\"/o/x.rar\" \"/o/a.mpg\"", ""}});
        EXPECT_TRUE(list.ReadTaskRow(1));
        TaskDialogModel dialog(list.task, 1);
        dialog.LoadTaskDefaults(registry);
        dialog.LoadFromTask();
        change(dialog);
        EXPECT_TRUE(dialog.Ok());
        EXPECT_TRUE(list.UpdateRow(1));
        return list.cell(1, 5);
    };
    EXPECT_EQ(edited([](TaskDialogModel&) {}), "");
    EXPECT_EQ(edited([](TaskDialogModel& d) { d.volume = 0; }), "0/0/0");
    EXPECT_EQ(edited([](TaskDialogModel& d) { d.volume = 2; }), "2/0/0");
    EXPECT_EQ(edited([](TaskDialogModel& d) { d.compression = 3; }), "0/3/0");
    EXPECT_EQ(edited([](TaskDialogModel& d) { d.yesDelete = true; }), "0/0/1");
}

TEST(TaskDialog, SeveralArchivesFollowTheTickedType) {
    TBatchTask task;
    TaskDialogModel dialog(task, 0);
    EXPECT_FALSE(dialog.multiSelectArchives()) << "opens on an archive task";
    dialog.setType(kUnarchiveRadio);
    EXPECT_TRUE(dialog.multiSelectArchives());
    dialog.archivesChosen({"/a.rar", "/b.rar"});
    EXPECT_EQ(dialog.archiveName, "/a.rar<+>/b.rar");
    dialog.setType(kArchiveRadio);
    dialog.archivesChosen({"/c.rar", "/d.rar"});
    EXPECT_EQ(dialog.archiveName, "/c.rar");
}

TEST(TaskDialog, ChosenProgramReadsBackThroughShUnchanged) {
    for (const std::string path : {"/opt/my tools/run.sh", "/opt/$HOME/x", "/opt/a`b`/x", "/opt/it's/x",
                                   "/opt/back\\slash/x", "/opt/q\"uote/x"}) {
        SCOPED_TRACE(path);
        const std::string quoted = QuoteProgramForShell(path);
        const platform::ProcessEnd end = platform::RunToEnd(platform::ShellCommand("printf '%s' " + quoted + " >&2"));
        EXPECT_EQ(end.errorOutput, path);
    }
    EXPECT_EQ(QuoteProgramForShell("/usr/bin/x y"), "\"/usr/bin/x y\"");
}

}  // namespace
