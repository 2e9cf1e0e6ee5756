// Names for the result codes the loaders, openers, writers, jobs and batch
// tasks return, and for the message indexes of each language-set section.
// The numbers stay as they are: run_job's exit status, the batch's result
// word, stored files and language files rely on them.
#pragma once

// 0 is success everywhere. Some numbers mean one thing to one function and
// another to the next; those have a name for each meaning, and each function
// says which it returns.
namespace result {
enum Code : int {
    kOk = 0,
    kCannotCreate = 1,      // an output, sheet or table cannot be created
    kOverwriteRefused = 2,  // "No" to overwriting an existing output
    kCancelled = 3,         // stopped, or "Cancel" to a question
    kCannotOpen = 4,        // a source cannot be opened; nothing written
    kNoMpegStream = 5,      // no MPEG stream where one was searched for
    kScanNoStream = 7,      // the MPEG file scan found no stream
    kScanNoSequence = 8,    // the MPEG file scan found no sequence header
    kBadPackSize = 9,       // the source's packs are not of a usable size
    kWriteFailed = 9,       // an output could not be created or written
    kTaskFailed = 11,       // a batch task could not run
    kFailed = 12,           // not done: a refused or cancelled step, a file object that failed
    kNoMethod = 12,         // no usable method for the job
    kNoSectorSize = 12,     // no usable sector size for the source
    kNoMemory = 12,
    kNoScanTable = 14,      // the image writer's temporary scan table is missing
    kNoResourceFile = 14,   // the resource companion cannot be written
    kNoSearchTable = 15,
    kNoTrackTable = 16,
    kSplit = 17,            // the MPEG file scan split the file into pieces
    kScanNoSplit = 18,      // the MPEG file scan found no GOP to split a too long file at
};
}  // namespace result

// Message indexes, per section of the language set (TLanguageSet::text).
// Errors, queries and warnings are what ReportMessage takes with their kind.
namespace msg {

namespace info {  // LANGUAGE_SET_INFO
inline constexpr int kLanguage = 0;
inline constexpr int kVersion = 1;
inline constexpr int kTranslator = 2;
}  // namespace info

namespace core {  // CORE_PROGRAM_MSGS
inline constexpr int kSelectBinaryImage = 0;
inline constexpr int kAllTracksSelected = 1;
inline constexpr int kUserSelectedTracks = 2;
inline constexpr int kCancelledProcessing = 3;
inline constexpr int kSearching = 4;
inline constexpr int kWriting = 5;
inline constexpr int kSequenceCorrection = 6;
inline constexpr int kAbortedProcessing = 7;
inline constexpr int kVcdStructureCreated = 8;
inline constexpr int kBlockCorrections = 9;
inline constexpr int kMpeg2Mode = 10;
inline constexpr int kThreadPriority = 11;
inline constexpr int kPriorityIdle = 12;  // then lowest, low, normal, high, highest, critical
inline constexpr int kPriorityNormal = 15;
inline constexpr int kProcessingMethod = 19;
inline constexpr int kPreScanning = 20;
inline constexpr int kCdiSequence = 21;
inline constexpr int kNoCdiSequence = 22;
inline constexpr int kProcessedTrack = 23;
inline constexpr int kHours = 24;
inline constexpr int kMins = 25;
inline constexpr int kSeconds = 26;
inline constexpr int kCompleted = 27;
inline constexpr int kActive = 28;
inline constexpr int kOutputExists = 29;
inline constexpr int kSuccess = 30;
inline constexpr int kFailed = 31;
inline constexpr int kBypassed = 32;
inline constexpr int kRunning = 33;
inline constexpr int kSplitsMade = 34;
inline constexpr int kYes = 35;
inline constexpr int kNo = 36;
inline constexpr int kDetectedSectorSize = 37;
inline constexpr int kYesToAll = 38;
inline constexpr int kNoToAll = 39;
inline constexpr int kBlocksPadded = 40;
inline constexpr int kReadSizeSetTo = 41;
inline constexpr int kWriteSizeSetTo = 42;
inline constexpr int kFoundXaHeader = 43;
inline constexpr int kNoCrcData = 44;
inline constexpr int kAddedFile = 45;
inline constexpr int kGeneratingSample = 46;
inline constexpr int kMultiFileConvention = 47;
inline constexpr int kMultiFileExample = 48;
inline constexpr int kVolumeLabelExample = 49;
}  // namespace core

namespace component {  // COMPONENT_MSGS: captions
inline constexpr int kStart = 0;
inline constexpr int kStop = 1;
inline constexpr int kResolution = 2;
inline constexpr int kVideoBitrate = 3;
inline constexpr int kCompleted = 4;
inline constexpr int kFixMpegErrors = 5;
inline constexpr int kRemoveBumper = 6;
inline constexpr int kForceReadSize = 7;
inline constexpr int kForceWriteSize = 8;
inline constexpr int kToastOutput = 9;
inline constexpr int kAddTrack = 10;
inline constexpr int kRemoveTrack = 11;
inline constexpr int kClearTrackList = 12;
inline constexpr int kClear = 13;
inline constexpr int kLoad = 14;
inline constexpr int kJoinTracks = 15;
inline constexpr int kIncludeTrackZero = 16;
inline constexpr int kVolumeName = 17;
inline constexpr int kExtraction = 18;
inline constexpr int kTrackList = 19;
inline constexpr int kVcdMethod = 20;
inline constexpr int kVideoTrackInfo = 21;
inline constexpr int kVcdTrackList = 22;
inline constexpr int kAdditionalOptions = 23;
inline constexpr int kOptionsTitle = 24;
inline constexpr int kDisableHeaderCorrection = 25;
inline constexpr int kDisableErrorPrompts = 26;
inline constexpr int kDisableAudioBeep = 27;
inline constexpr int kCueFullPath = 28;
inline constexpr int kPriority = 29;
inline constexpr int kUninstall = 30;
inline constexpr int kOk = 31;
inline constexpr int kCancel = 32;
inline constexpr int kSave = 33;
inline constexpr int kTask = 34;
inline constexpr int kTaskType = 35;
inline constexpr int kStatus = 36;
inline constexpr int kErrorHandling = 37;
inline constexpr int kParameters = 38;
inline constexpr int kAddTask = 39;
inline constexpr int kRemoveTask = 40;
inline constexpr int kArchivingOptions = 41;
inline constexpr int kVolumeSize = 42;
inline constexpr int kCompression = 43;
inline constexpr int kOnErrors = 44;
inline constexpr int kOnQueries = 45;
inline constexpr int kLoadTaskProject = 46;
inline constexpr int kDecompressRar = 47;
inline constexpr int kDeleteRarAfter = 48;
inline constexpr int kRunCommandLine = 49;
inline constexpr int kStopBatch = 50;
inline constexpr int kContinueBatch = 51;
inline constexpr int kAssumeYes = 52;
inline constexpr int kAssumeNo = 53;
inline constexpr int kTaskProjectFile = 54;
inline constexpr int kArchiveName = 55;
inline constexpr int kDecompressionDir = 56;
inline constexpr int kExternalCommandLine = 57;
inline constexpr int kSelect = 58;
inline constexpr int kRarDecompressor = 59;
inline constexpr int kDecompressionParams = 60;
inline constexpr int kLanguageSetInfo = 61;
inline constexpr int kLanguage = 62;
inline constexpr int kVersion = 63;
inline constexpr int kTranslationBy = 64;
inline constexpr int kGeneral = 65;
inline constexpr int kDirectories = 66;
inline constexpr int kAddCdiApplication = 67;
inline constexpr int kUndefined = 68;
inline constexpr int kComments = 69;
inline constexpr int kTempDir = 70;
inline constexpr int kDash = 71;
inline constexpr int kDocumentation = 72;
inline constexpr int kOptions = 73;
inline constexpr int kAbout = 74;
inline constexpr int kAddToRar = 75;
inline constexpr int kDisableSplitting = 76;
inline constexpr int kCompressionParams = 77;
inline constexpr int kSelectedFilesTitle = 78;
inline constexpr int kSelectedFiles = 79;
inline constexpr int kPreviousTaskFiles = 80;
inline constexpr int kBatchList = 81;
inline constexpr int kOpenInsertList = 82;
inline constexpr int kSaveList = 83;
inline constexpr int kClearList = 84;
inline constexpr int kAdd = 85;
inline constexpr int kRemove = 86;
inline constexpr int kNone = 87;
inline constexpr int kPassive = 88;
inline constexpr int kPreviousOutputAsInput = 89;
inline constexpr int kProperties = 90;
inline constexpr int kFixes = 91;
inline constexpr int kSplits = 92;
inline constexpr int kDisplay = 93;
inline constexpr int kPass = 94;
inline constexpr int kWarnings = 95;
inline constexpr int kErrors = 96;
inline constexpr int kPassColourBelow = 97;
inline constexpr int kWarningColourBelow = 98;
inline constexpr int kPadding = 99;
inline constexpr int kDisablePadding = 100;
inline constexpr int kAudio = 101;
inline constexpr int kAudioBitrate = 102;
inline constexpr int kCompliantSvcd = 103;
inline constexpr int kCopy = 104;
inline constexpr int kLanguageDir = 105;
inline constexpr int kManualDir = 106;
inline constexpr int kSource = 107;
inline constexpr int kPlaytime = 108;
inline constexpr int kVcdOptions = 109;
inline constexpr int kVerifySfv = 110;
inline constexpr int kCreateSfv = 111;
inline constexpr int kAction = 112;
inline constexpr int kFromWith = 113;
inline constexpr int kSfvFile = 114;
inline constexpr int kTrackPause = 115;
inline constexpr int kSpanImagesAt = 116;
inline constexpr int kDontSpan = 117;
inline constexpr int kSeparateFolders = 118;
inline constexpr int kImageNumber = 119;
inline constexpr int kTotalPlaytime = 120;
inline constexpr int kSelectDecompressionDir = 121;
inline constexpr int kFilename = 122;
inline constexpr int kIn = 123;
inline constexpr int kOut = 124;
inline constexpr int kRandom = 125;
inline constexpr int kSet = 126;
inline constexpr int kStartingPosition = 127;
inline constexpr int kSampleLength = 128;
inline constexpr int kCurrentTimeCode = 129;
inline constexpr int kSamplePlaytime = 130;
inline constexpr int kSelectedInOut = 131;
inline constexpr int kRarBaseName = 132;
inline constexpr int kDeleteImagesAfterRar = 133;
inline constexpr int kRarsInFolders = 134;
inline constexpr int kMultiFileNaming = 135;
inline constexpr int kSfvForRar = 136;
inline constexpr int kRarsInFoldersTitle = 137;
inline constexpr int kUninstallTitle = 138;
inline constexpr int kMultipleFileNaming = 139;
inline constexpr int kFileNamingHelp = 140;
inline constexpr int kVolumeNamingHelp = 141;
inline constexpr int kPreviewVideo = 142;
inline constexpr int kAddSampleClip = 143;
inline constexpr int kMpeg2Directory = 144;
inline constexpr int kMpegavDirectory = 145;
inline constexpr int kEntryVcd = 146;
inline constexpr int kEntrySvd = 147;
inline constexpr int kSfvCheckFirst = 148;
}  // namespace component

namespace hint {  // HINT_MSGS: tool tips
inline constexpr int kMethod = 0;
inline constexpr int kFixMpegErrors = 1;
inline constexpr int kRemoveBumper = 2;
inline constexpr int kForceReadSize = 3;
inline constexpr int kForceWriteSize = 4;
inline constexpr int kToastOutput = 5;
inline constexpr int kJoinTracks = 6;
inline constexpr int kIncludeTrackZero = 7;
inline constexpr int kLoad = 8;
inline constexpr int kStart = 9;
inline constexpr int kVcdMethod = 10;
inline constexpr int kAddTrack = 11;
inline constexpr int kRemoveTrack = 12;
inline constexpr int kMoveTrackUp = 13;
inline constexpr int kMoveTrackDown = 14;
inline constexpr int kClearTrackList = 15;
inline constexpr int kTransferJob = 16;
inline constexpr int kStop = 17;
inline constexpr int kPassive = 18;
inline constexpr int kPreviousOutput = 19;
inline constexpr int kClearLog = 20;
inline constexpr int kCopyLog = 21;
inline constexpr int kPreview = 22;
inline constexpr int kTrackPause = 23;
inline constexpr int kSpanImages = 24;
inline constexpr int kSeparateFolders = 25;
inline constexpr int kClearPage = 26;
inline constexpr int kSetStart = 27;
inline constexpr int kSetEnd = 28;
}  // namespace hint

namespace task_menu {  // TASK_MENU_MSGS
inline constexpr int kOpenProject = 0;
inline constexpr int kSaveProject = 1;
inline constexpr int kOpenBatchList = 2;
}  // namespace task_menu

namespace document_menu {  // DOCUMENT_MENU_MSGS
inline constexpr int kWhatsNew = 0;
inline constexpr int kHistory = 1;
inline constexpr int kManual = 2;
inline constexpr int kFaq = 3;
}  // namespace document_menu

namespace error {  // ERROR_MSGS, reported with kMsgError
inline constexpr int kCannotChangeDirectory = 0;
inline constexpr int kCueImageMissing = 1;
inline constexpr int kTooManyCueTracks = 2;
inline constexpr int kCueMissingFile = 3;
inline constexpr int kMode1NotSupported = 4;
inline constexpr int kCueIncomplete = 5;
inline constexpr int kCannotOpen = 6;
inline constexpr int kNoMpegStream = 7;
inline constexpr int kNoSequenceHeader = 8;
inline constexpr int kCannotCreate = 9;
inline constexpr int kNoVideoTracks = 10;
inline constexpr int kInvalidPackSize = 11;
inline constexpr int kNoMpeg2Stream = 12;
inline constexpr int kTrackTruncated = 13;
inline constexpr int kCannotCreateResource = 14;
inline constexpr int kInvalidProject = 15;
inline constexpr int kNoDecompressor = 16;
inline constexpr int kInvalidBatchList = 17;
inline constexpr int kNoRarFile = 18;
inline constexpr int kNoPreviousOutput = 19;
inline constexpr int kTooManyVideoTracks = 20;
inline constexpr int kInvalidLanguageFile = 21;
inline constexpr int kLanguageEntryCount = 22;
inline constexpr int kCannotOpenCdiFiles = 23;
inline constexpr int kUnknownSectorSize = 24;
inline constexpr int kCannotCreateTables = 25;
inline constexpr int kNotMpeg1 = 26;
inline constexpr int kNotMpeg2 = 27;
inline constexpr int kNoMemory = 28;
inline constexpr int kFileNotFound = 29;
inline constexpr int kEmptyFileName = 30;
}  // namespace error

namespace query {  // QUERY_MSGS, asked with kMsgQuestion
inline constexpr int kNotEnoughSpace = 0;
inline constexpr int kLoseTrackEntries = 1;
inline constexpr int kOverwrite = 2;
inline constexpr int kUninstall = 3;
}  // namespace query

namespace warning {  // WARNING_MSGS, reported with kMsgWarning
inline constexpr int kPackSizeCorruption = 0;
inline constexpr int kBadXaHeader = 1;
inline constexpr int kNoCommentaryEnd = 2;
inline constexpr int kDatMayBeMpeg = 3;
inline constexpr int kNotConstantPackSize = 4;
}  // namespace warning

}  // namespace msg
