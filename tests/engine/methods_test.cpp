// The method table against the documented method lists, and the invariants
// the worker relies on: a code's low bytes are its kinds, its option bits
// match how the source is read, and every code leads back to its row.
#include "engine/methods.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Methods, RowsMatchTheDocumentedLists) {
    struct Row {
        int page, index;
        const char* item;
        Opener opener;
    };
    using O = Opener;
    for (const Row& r :
         {Row{0, 0, "rar [archive] -> cue/bin -> mpeg", O::None}, Row{0, 1, "rar [archive] -> bin -> mpeg", O::None},
          Row{0, 2, "cue/bin -> mpeg", O::TrackImage}, Row{0, 3, "cue/bin -> dat", O::TrackImage},
          Row{0, 4, "bin [disc image] -> mpeg", O::SectorImage}, Row{0, 5, "toc/bin -> mpeg", O::TrackImage},
          Row{0, 6, "raw [track image] -> mpeg", O::RawOrMpeg},
          Row{0, 7, "raw [track image] -> dat", O::RawTrackForDat}, Row{0, 8, "dat -> mpeg", O::DatFile},
          Row{0, 9, "mpeg ->dat", O::MpegForDat}, Row{0, 10, "mpeg -> mpeg", O::RawOrMpeg},
          Row{0, 11, "cif (Adaptec) -> mpeg", O::SectorImage}, Row{0, 12, "nrg (Nero) -> mpeg", O::SectorImage},
          Row{0, 13, "sfd (@Dreamcast) -> mpeg", O::SfdFile}, Row{1, 0, "mpeg -> toc/bin[cd image]", O::BuildList},
          Row{1, 1, "mpeg -> cue/bin[cd image]", O::BuildList},
          Row{1, 2, "cif (Adaptec) -> cue/bin[cd image]", O::BuildImage},
          Row{1, 3, "nrg (Nero) -> cue/bin[cd image]", O::BuildImage}}) {
        const TMethodInfo& m = PageMethod(r.page, r.index);
        EXPECT_EQ(m.pageMode, r.page) << r.item;
        EXPECT_EQ(m.index, r.index) << r.item;
        EXPECT_EQ(std::string(m.item), r.item);
        EXPECT_EQ(m.opener, r.opener) << r.item;
    }
    EXPECT_EQ(MethodCount(0), 14);
    EXPECT_EQ(MethodCount(1), 4);
    for (const auto& [page, index] : {std::pair{0, -1}, {0, 14}, {1, 4}, {2, 0}}) {
        const TMethodInfo& none = PageMethod(page, index);
        EXPECT_FALSE(none.Valid()) << page << "/" << index;
        EXPECT_EQ(none.enables, 0) << "no method selected greys every option";
    }
}

TEST(Methods, CodesCarryTheirKindsAndOptions) {
    for (int page : {0, 1}) {
        for (int i = 0; i < MethodCount(page); ++i) {
            const TMethodInfo& m = PageMethod(page, i);
            if (!m.Valid()) {
                EXPECT_EQ(m.load, SourceForm::Archive) << "only the archives never reach the worker";
                continue;
            }
            for (const auto& [imgNone, multi] : {std::pair{true, false}, {false, false}, {true, true}}) {
                const int32_t code = PackedCode(m, imgNone, multi);
                SCOPED_TRACE(m.item + std::string(" code ") + std::to_string(code));
                EXPECT_EQ(code & 0xFF, m.outputKind);
                EXPECT_EQ((code >> 8) & 0xFF, m.inputKind);
                EXPECT_EQ(MethodByCode(code), &m);
                const int32_t options = (code >> 16) & 0xFF;
                // Builds write images; extractions read either a disc image
                // track by track or one stream to its end.
                EXPECT_EQ((options & kOptBuildImage) != 0, page == 1);
                if (page == 0) {
                    const bool disc = m.opener == Opener::TrackImage || m.opener == Opener::SectorImage;
                    EXPECT_EQ((options & kOptPerTrack) != 0, disc);
                    EXPECT_EQ((options & kOptSingleFile) != 0, !disc);
                    EXPECT_EQ((options & kOptDatHeader) != 0, m.outputKind == kDatKind);
                }
            }
        }
    }
    // Spanning and several images change only the builds to cue/bin or toc/bin.
    EXPECT_EQ(Code(VcdMethod::MpegToCueBin, true, true), 0xB10307);
    EXPECT_EQ(Code(VcdMethod::MpegToTocBin, true, true), Code(VcdMethod::MpegToTocBin));
    EXPECT_NE(Code(VcdMethod::MpegToTocBin, false), Code(VcdMethod::MpegToTocBin));
    EXPECT_EQ(Code(VcdMethod::CifToCueBin, false, true), Code(VcdMethod::CifToCueBin));
    for (int32_t code : {0, kNoMethodCode, 0xFFFF, 0x0A0604, -1}) EXPECT_EQ(MethodByCode(code), nullptr) << code;
}

}  // namespace
