// Every fact about a method in one place: the extraction page's methods
// (methodBox) and the video-cd page's (buildVCDMethod), with their item
// texts, source and output kinds, packed codes, openers, file filters, the
// options they allow and how their output's size is estimated. Code names a
// method (Method::CueBinToMpeg) or asks this table; a new method is one row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Source and output kinds: kind k is entry k - 1 of ImageExtensions.
enum SourceKind : int16_t {
    kNoKind = 0,
    kRawKind = 1,   // raw track image, 2352-byte sectors
    kDatKind = 2,   // RIFF/CDXA dat file
    kMpegKind = 3,  // MPEG program stream
    kNrgKind = 4,
    kCifKind = 5,
    kCueKind = 6,   // cue sheet with bin
    kBinKind = 7,   // whole disc image
    kSfdKind = 8,
    kTocKind = 9,   // toc file with bin
};

// Option bits of the packed method code (bits 16-23).
enum MethodOption : int32_t {
    kOptRawSectors = 0x01,  // raw 2352-byte Mode 2 Form 2 sectors
    kOptPerTrack = 0x02,    // one output per track
    kOptDatHeader = 0x04,   // output starts with the RIFF/CDXA header
    kOptDiscImage = 0x08,
    kOptBuildImage = 0x10,  // VCD/SVCD image build
    kOptSourceFromList = 0x20,
    kOptSingleFile = 0x40,
    kOptPerImage = 0x80,  // one output per image
};

// What SelectMethod answers for an index that names no method (and what an
// opener's failure turns into).
constexpr int32_t kNoMethodCode = 12;

// Extraction methods: the methodBox item index.
enum class Method : int32_t {
    RarToCueBinToMpeg = 0,
    RarToBinToMpeg = 1,
    CueBinToMpeg = 2,
    CueBinToDat = 3,
    BinToMpeg = 4,
    TocBinToMpeg = 5,
    RawToMpeg = 6,
    RawToDat = 7,
    DatToMpeg = 8,
    MpegToDat = 9,
    MpegToMpeg = 10,
    CifToMpeg = 11,
    NrgToMpeg = 12,
    SfdToMpeg = 13,
};

// Video-cd methods: the buildVCDMethod item index.
enum class VcdMethod : int32_t {
    MpegToTocBin = 0,
    MpegToCueBin = 1,
    CifToCueBin = 2,
    NrgToCueBin = 3,
};

constexpr int Index(Method m) { return static_cast<int>(m); }
constexpr int Index(VcdMethod m) { return static_cast<int>(m); }

// How the worker opens the source once the method is chosen.
enum class Opener {
    None,
    TrackImage,      // a track of a cue/bin or toc/bin image
    SectorImage,     // bin, cif and nrg images
    RawOrMpeg,       // raw track image or MPEG file, read as it is
    RawTrackForDat,  // raw track image whose sync decides the sector size
    DatFile,         // RIFF/CDXA dat
    MpegForDat,      // MPEG packs that become raw sectors
    SfdFile,
    BuildList,   // the first file of the build list
    BuildImage,  // the cif or nrg image whose tracks the build converts
};

// What the load button reads for the method.
enum class SourceForm {
    None,
    Archive,     // a batch task unpacks it first
    CueSheet,
    TocSheet,
    BinImage,    // the image's own directory lists the tracks
    CifImage,
    NrgImage,
    Stream,      // one stream, one track
    BuildFiles,  // MPEG files added to the build list
};

// How the free-space check estimates the output.
enum class SpaceEstimate {
    None,
    TrackSpans,         // the track table's byte ranges (cue/bin, toc/bin)
    TrackSizes,         // the image directory's lengths (bin, cif, nrg)
    InputFile,          // the whole input
    InputAsRawSectors,  // the whole input, each 2324-byte pack a raw sector, and the dat header
    BuildEntries,       // the build list's MPEG bytes in raw sectors
};

// Where CD-i subtitle files are looked for in the method's source. None: a
// source that holds no disc volume (a dat, MPEG or sfd file is one MPEG
// track, the CD-i files lie in the data track; a RAR archive is compressed,
// and the image it holds is looked at under the method that reads it).
enum class CdiSource { None, RawSectors, CifSectors, Sectors2336 };

// Controls a method makes usable (GreyOptions).
enum MethodEnables : uint8_t {
    kEnablesFix = 0x01,        // fixErrorCheckBox
    kEnablesBumper = 0x02,     // bumperCheckBox
    kEnablesSfv = 0x04,        // sfvCheck
    kEnablesSubtitles = 0x08,  // subCheckBox
    kEnablesBuildList = 0x10,  // the build list's buttons and image labels
    kEnablesImageLoad = 0x20,  // the save button chooses the source image
};

struct TMethodInfo {
    int pageMode = -1;  // 0 extraction, 1 video-cd, -1 none
    int index = -1;     // item of the page's method box
    const char* item = "";
    int16_t inputKind = kNoKind;
    int16_t outputKind = kNoKind;
    int32_t code = kNoMethodCode;  // packed: output kind, input kind << 8, options << 16
    // Video-cd methods only, 0 when the same as `code`: the code when images
    // may span ("Don't span" unticked), and when the list holds several images.
    int32_t spanningCode = 0;
    int32_t multiImageCode = 0;
    Opener opener = Opener::None;
    SourceForm load = SourceForm::None;
    const char* openFilter = nullptr;  // open dialog filter
    uint8_t enables = 0;
    SpaceEstimate space = SpaceEstimate::None;
    // An index out of the box's range is looked at as a disc image, as the
    // archives' bin images are.
    CdiSource cdi = CdiSource::RawSectors;
    bool severalFiles = false;  // the open dialog takes several files
    int archiveTarget = -1;     // archives: the method that extracts what they hold

    constexpr bool Valid() const { return code != kNoMethodCode; }
    constexpr int32_t Options() const { return (code >> 16) & 0xFF; }
};

namespace method_table {

constexpr const char* kRarFilter = "*.rar (RAR compressed)|*.rar|*.r00/r01...(RAR compressed)|*.r??|All files|*.*";
constexpr const char* kCueFilter = "*.cue (index file)|*.cue|All files|*.*";
constexpr const char* kBinFilter = "*.bin (cd image)|*.bin|All files|*.*";
constexpr const char* kTocFilter = "*.toc (index file)|*.toc|All files|*.*";
constexpr const char* kRawFilter = "*.raw (cd track image)|*.raw|All files|*.*";
constexpr const char* kDatFilter = "*.dat (vcd mpeg video)|*.dat|All files|*.*";
constexpr const char* kMpgFilter = "*.mpg (vcd mpeg video)|*.mpg;*.mpeg|All files|*.*";
constexpr const char* kCifFilter = "*.cif (cd disc image)|*.cif|All files|*.*";
constexpr const char* kNrgFilter = "*.nrg (track image)|*.nrg|All files|*.*";
constexpr const char* kSfdFilter = "*.sfd (@Dreamcast)|*.sfd|All files|*.*";
constexpr const char* kBuildFilter =
    "*.mpg,*.mpeg,*.m2v,*.m2s (videocd mpeg video)|*.mpg;*.mpeg;*.m2v;*.m2s|All files|*.*";

constexpr uint8_t kAllOptions = kEnablesFix | kEnablesBumper | kEnablesSfv | kEnablesSubtitles;
constexpr uint8_t kImageOptions = kEnablesFix | kEnablesBumper | kEnablesSubtitles;
constexpr uint8_t kDatOptions = kEnablesBumper | kEnablesSubtitles;

using M = Method;
using O = Opener;
using L = SourceForm;
using S = SpaceEstimate;
using C = CdiSource;

// clang-format off
inline constexpr std::array<TMethodInfo, 14> kExtraction = {{
    // page, index, item, in, out, code, -, -, opener, load, filter, enables, space, cdi, several, archive target
    {0, Index(M::RarToCueBinToMpeg), "rar [archive] -> cue/bin -> mpeg", kNoKind, kNoKind, kNoMethodCode, 0, 0,
     O::None, L::Archive, kRarFilter, kAllOptions, S::InputFile, C::None, true, Index(M::CueBinToMpeg)},
    {0, Index(M::RarToBinToMpeg), "rar [archive] -> bin -> mpeg", kNoKind, kNoKind, kNoMethodCode, 0, 0,
     O::None, L::Archive, kRarFilter, kAllOptions, S::InputFile, C::None, true, Index(M::BinToMpeg)},
    {0, Index(M::CueBinToMpeg), "cue/bin -> mpeg", kCueKind, kMpegKind, 0x0A0603, 0, 0,
     O::TrackImage, L::CueSheet, kCueFilter, kImageOptions, S::TrackSpans, C::RawSectors, true, -1},
    {0, Index(M::CueBinToDat), "cue/bin -> dat", kCueKind, kDatKind, 0x060602, 0, 0,
     O::TrackImage, L::CueSheet, kCueFilter, kDatOptions, S::TrackSpans, C::RawSectors, true, -1},
    {0, Index(M::BinToMpeg), "bin [disc image] -> mpeg", kBinKind, kMpegKind, 0x0A0703, 0, 0,
     O::SectorImage, L::BinImage, kBinFilter, kImageOptions, S::TrackSizes, C::RawSectors, true, -1},
    {0, Index(M::TocBinToMpeg), "toc/bin -> mpeg", kTocKind, kMpegKind, 0x0A0903, 0, 0,
     O::TrackImage, L::TocSheet, kTocFilter, kImageOptions, S::TrackSpans, C::RawSectors, true, -1},
    {0, Index(M::RawToMpeg), "raw [track image] -> mpeg", kRawKind, kMpegKind, 0x400103, 0, 0,
     O::RawOrMpeg, L::Stream, kRawFilter, kImageOptions, S::InputFile, C::RawSectors, true, -1},
    {0, Index(M::RawToDat), "raw [track image] -> dat", kRawKind, kDatKind, 0x440102, 0, 0,
     O::RawTrackForDat, L::Stream, kRawFilter, kDatOptions, S::InputFile, C::RawSectors, true, -1},
    {0, Index(M::DatToMpeg), "dat -> mpeg", kDatKind, kMpegKind, 0x400203, 0, 0,
     O::DatFile, L::Stream, kDatFilter, kEnablesFix, S::InputFile, C::None, true, -1},
    {0, Index(M::MpegToDat), "mpeg ->dat", kMpegKind, kDatKind, 0x450302, 0, 0,
     O::MpegForDat, L::Stream, kMpgFilter, kEnablesFix, S::InputAsRawSectors, C::None, true, -1},
    {0, Index(M::MpegToMpeg), "mpeg -> mpeg", kMpegKind, kMpegKind, 0x400303, 0, 0,
     O::RawOrMpeg, L::Stream, kMpgFilter, kEnablesFix, S::InputFile, C::None, false, -1},
    {0, Index(M::CifToMpeg), "cif (Adaptec) -> mpeg", kCifKind, kMpegKind, 0x0A0503, 0, 0,
     O::SectorImage, L::CifImage, kCifFilter, kImageOptions, S::TrackSizes, C::CifSectors, true, -1},
    {0, Index(M::NrgToMpeg), "nrg (Nero) -> mpeg", kNrgKind, kMpegKind, 0x0A0403, 0, 0,
     O::SectorImage, L::NrgImage, kNrgFilter, kImageOptions, S::TrackSizes, C::Sectors2336, true, -1},
    {0, Index(M::SfdToMpeg), "sfd (@Dreamcast) -> mpeg", kSfdKind, kMpegKind, 0x400803, 0, 0,
     O::SfdFile, L::Stream, kSfdFilter, kEnablesFix, S::InputFile, C::None, true, -1},
}};

inline constexpr std::array<TMethodInfo, 4> kVideoCd = {{
    // page, index, item, in, out, code ("Don't span"), spanning code, several images' code, ...
    {1, Index(VcdMethod::MpegToTocBin), "mpeg -> toc/bin[cd image]", kMpegKind, kTocKind, 0x310309, 0x330309, 0,
     O::BuildList, L::BuildFiles, kBuildFilter, kEnablesBuildList, S::BuildEntries, C::None, true},
    {1, Index(VcdMethod::MpegToCueBin), "mpeg -> cue/bin[cd image]", kMpegKind, kBinKind, 0x310307, 0x330307,
     0xB10307, O::BuildList, L::BuildFiles, kBuildFilter, kEnablesBuildList, S::BuildEntries, C::None, true},
    {1, Index(VcdMethod::CifToCueBin), "cif (Adaptec) -> cue/bin[cd image]", kCifKind, kBinKind, 0x110507, 0, 0,
     O::BuildImage, L::CifImage, kCifFilter, kEnablesImageLoad, S::BuildEntries, C::None, false},
    {1, Index(VcdMethod::NrgToCueBin), "nrg (Nero) -> cue/bin[cd image]", kNrgKind, kBinKind, 0x110407, 0, 0,
     O::BuildImage, L::NrgImage, kNrgFilter, kEnablesImageLoad, S::BuildEntries, C::None, false},
}};
// clang-format on

inline constexpr TMethodInfo kNone{};

}  // namespace method_table

constexpr int kExtractionMethodCount = static_cast<int>(method_table::kExtraction.size());
constexpr int kVideoCdMethodCount = static_cast<int>(method_table::kVideoCd.size());

// The row of a page's index; an index out of range gives the empty row
// (no method, nothing enabled).
constexpr const TMethodInfo& ExtractionMethod(int index) {
    return index >= 0 && index < kExtractionMethodCount ? method_table::kExtraction[std::size_t(index)] : method_table::kNone;
}
constexpr const TMethodInfo& ExtractionMethod(Method m) { return ExtractionMethod(Index(m)); }
constexpr const TMethodInfo& VideoCdMethod(int index) {
    return index >= 0 && index < kVideoCdMethodCount ? method_table::kVideoCd[std::size_t(index)] : method_table::kNone;
}
constexpr const TMethodInfo& VideoCdMethod(VcdMethod m) { return VideoCdMethod(Index(m)); }
constexpr const TMethodInfo& PageMethod(int pageMode, int index) {
    return pageMode == 0 ? ExtractionMethod(index) : pageMode == 1 ? VideoCdMethod(index) : method_table::kNone;
}
constexpr int MethodCount(int pageMode) {
    return pageMode == 0 ? kExtractionMethodCount : pageMode == 1 ? kVideoCdMethodCount : 0;
}

// The packed code of a method: an extraction's own; a build's by "Don't
// span" and the number of images.
constexpr int32_t PackedCode(const TMethodInfo& m, bool imgNone, bool multiImage) {
    if (multiImage && m.multiImageCode) return m.multiImageCode;
    if (!imgNone && m.spanningCode) return m.spanningCode;
    return m.code;
}
constexpr int32_t Code(Method m) { return ExtractionMethod(m).code; }
constexpr int32_t Code(VcdMethod m, bool imgNone = true, bool multiImage = false) {
    return PackedCode(VideoCdMethod(m), imgNone, multiImage);
}

// The row a packed code belongs to, or nullptr.
const TMethodInfo* MethodByCode(int32_t code);
