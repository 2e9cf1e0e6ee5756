#include "disc/sector_encoder.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace {

// ---------------------------------------------------------------- EDC ----

constexpr uint32_t kEdcPoly = 0xD8018001u;  // reflected

// Slice-by-8 tables; row 0 is the plain one-table form.
struct EdcTables {
    uint32_t t[8][256];
};

constexpr EdcTables MakeEdcTables() {
    EdcTables e{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i;
        for (int b = 0; b < 8; ++b) r = (r & 1) ? (r >> 1) ^ kEdcPoly : r >> 1;
        e.t[0][i] = r;
    }
    for (int k = 1; k < 8; ++k)
        for (int i = 0; i < 256; ++i) e.t[k][i] = (e.t[k - 1][i] >> 8) ^ e.t[0][e.t[k - 1][i] & 0xFF];
    return e;
}

constexpr EdcTables kEdc = MakeEdcTables();
static_assert(kEdc.t[0][1] == 0x90910101u && kEdc.t[0][128] == 0xD8018001u);

inline uint32_t LoadLe32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

inline void StoreLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t Edc(const uint8_t* p, size_t n) {
    uint32_t r = 0;
    const auto& t = kEdc.t;
    while (n >= 8) {
        uint32_t lo = r ^ LoadLe32(p);
        uint32_t hi = LoadLe32(p + 4);
        r = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    while (n--) r = (r >> 8) ^ t[0][(*p++ ^ r) & 0xFF];
    return r;
}

// ----------------------------------------------------- Galois fields ----

// GF(2^Bits) by its field polynomial, primitive element 2, with logarithm
// tables; exp runs over two periods so that log a + log b needs no modulo.
template <unsigned Bits, unsigned Poly>
struct GaloisField {
    static constexpr int kOrder = (1 << Bits) - 1;
    uint8_t exp[2 * kOrder + 2] = {};
    uint8_t log[kOrder + 1] = {};

    constexpr GaloisField() {
        unsigned x = 1;
        for (int i = 0; i < kOrder; ++i) {
            exp[i] = exp[i + kOrder] = uint8_t(x);
            log[x] = uint8_t(i);
            x <<= 1;
            if (x >> Bits) x ^= Poly;
        }
        exp[2 * kOrder] = exp[0];
        exp[2 * kOrder + 1] = exp[1];
    }
    constexpr uint8_t mul(uint8_t a, uint8_t b) const { return (a == 0 || b == 0) ? 0 : exp[log[a] + log[b]]; }
    constexpr uint8_t inv(uint8_t a) const { return exp[(kOrder - log[a]) % kOrder]; }
    constexpr uint8_t pow(int e) const { return exp[((e % kOrder) + kOrder) % kOrder]; }
};

constexpr GaloisField<8, 0x11D> kGf{};  // x^8 + x^4 + x^3 + x^2 + 1
constexpr GaloisField<6, 0x43> kGf64{};  // x^6 + x + 1

// Weights of R parity symbols at parityPos of an N-symbol word that make
// its syndromes for alpha^0..alpha^(R-1) vanish: gen[m][i] is the weight of
// data symbol i (at dataPos[i]) in parity symbol m. Solves
// A[j][m] = alpha^(j (N-1-pos_m)) against the data syndromes.
template <class Field, int N, int R>
constexpr void SolveParity(const Field& f, const int (&parityPos)[R], const int (&dataPos)[N - R],
                           uint8_t (&gen)[R][N - R]) {
    uint8_t a[R][2 * R] = {};
    for (int j = 0; j < R; ++j) {
        for (int m = 0; m < R; ++m) a[j][m] = f.pow(j * (N - 1 - parityPos[m]));
        a[j][R + j] = 1;
    }
    for (int col = 0; col < R; ++col) {
        int piv = col;
        while (a[piv][col] == 0) ++piv;
        for (int x = 0; x < 2 * R; ++x) std::swap(a[col][x], a[piv][x]);
        const uint8_t inv = f.inv(a[col][col]);
        for (int x = 0; x < 2 * R; ++x) a[col][x] = f.mul(a[col][x], inv);
        for (int r = 0; r < R; ++r) {
            if (r == col || a[r][col] == 0) continue;
            const uint8_t k = a[r][col];
            for (int x = 0; x < 2 * R; ++x) a[r][x] ^= f.mul(k, a[col][x]);
        }
    }
    for (int m = 0; m < R; ++m)
        for (int i = 0; i < N - R; ++i) {
            uint8_t g = 0;
            for (int j = 0; j < R; ++j) g ^= f.mul(a[m][R + j], f.pow(j * (N - 1 - dataPos[i])));
            gen[m][i] = g;
        }
}

// Multiplying by 1/(1 + alpha) turns the two syndromes into the first
// parity symbol of a code whose parity sits at the last two places.
struct MulTable {
    uint8_t v[256];
};

constexpr MulTable MakeMulTable(uint8_t c) {
    MulTable m{};
    for (int i = 0; i < 256; ++i) m.v[i] = kGf.mul(uint8_t(i), c);
    return m;
}

constexpr MulTable kMulInv3 = MakeMulTable(kGf.inv(3));

// Eight GF(2^8) lanes multiplied by alpha at once.
inline uint64_t Mul2x8(uint64_t x) {
    uint64_t hi = x & 0x8080808080808080ull;
    return ((x & 0x7F7F7F7F7F7F7F7Full) << 1) ^ ((hi >> 7) * 0x1D);
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// s0 = sum of the data, s1 = sum of data times alpha^(n-1-i); parity at the
// last two places p0 (weight alpha) and p1 (weight 1) solve
// s0 + p0 + p1 = 0 and s1 + alpha p0 + p1 = 0.
inline void FinishParity(const uint8_t* s0, const uint8_t* s1, size_t lanes, uint8_t* p0, uint8_t* p1) {
    for (size_t j = 0; j < lanes; ++j) {
        uint8_t a = kMulInv3.v[s0[j] ^ s1[j]];
        p0[j] = a;
        p1[j] = s0[j] ^ a;
    }
}

constexpr size_t kRowBytes = 86;  // 43 words

// Q diagonal d, element k lies in row (d + k) mod 26, column k.
struct QOffsets {
    uint16_t off[43][26];
};

constexpr QOffsets MakeQOffsets() {
    QOffsets q{};
    for (int k = 0; k < 43; ++k)
        for (int d = 0; d < 26; ++d) q.off[k][d] = uint16_t(2 * ((43 * d + 44 * k) % 1118));
    return q;
}

constexpr QOffsets kQOffsets = MakeQOffsets();

constexpr uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

inline uint8_t Bcd(uint32_t v) { return uint8_t(((v / 10) << 4) | (v % 10)); }

}  // namespace

// ------------------------------------------------------------ sectors ----

uint32_t ComputeEdc(const uint8_t* sector, size_t first, size_t last) {
    if (last < first) return 0;
    return Edc(sector + first, last - first + 1);
}

void EncodeParityP(uint8_t* d) {
    // Row r of the 24 x 43-word matrix is 86 contiguous bytes; each byte
    // lane is one column code, so whole rows are worked eight lanes at a time.
    uint64_t acc[11] = {}, sum[11] = {};
    for (int r = 0; r < 24; ++r) {
        const uint8_t* row = d + r * kRowBytes;  // reads 2 bytes past the row, still inside the sector
        for (int w = 0; w < 11; ++w) {
            uint64_t v = Load64(row + 8 * w);
            acc[w] = Mul2x8(acc[w]) ^ v;
            sum[w] ^= v;
        }
    }
    for (int w = 0; w < 11; ++w) acc[w] = Mul2x8(Mul2x8(acc[w]));
    uint8_t s0[88], s1[88];
    std::memcpy(s0, sum, sizeof s0);
    std::memcpy(s1, acc, sizeof s1);
    FinishParity(s0, s1, kRowBytes, d + 24 * kRowBytes, d + 25 * kRowBytes);
}

void EncodeParityQ(uint8_t* d) {
    // Lane 2*diagonal + byte; each step gathers element k of all 26 diagonals.
    uint64_t acc[7] = {}, sum[7] = {};
    uint64_t lane[7] = {};
    auto* lb = reinterpret_cast<uint8_t*>(lane);
    for (int k = 0; k < 43; ++k) {
        const uint16_t* off = kQOffsets.off[k];
        for (int dg = 0; dg < 26; ++dg) std::memcpy(lb + 2 * dg, d + off[dg], 2);
        for (int w = 0; w < 7; ++w) {
            acc[w] = Mul2x8(acc[w]) ^ lane[w];
            sum[w] ^= lane[w];
        }
    }
    for (int w = 0; w < 7; ++w) acc[w] = Mul2x8(Mul2x8(acc[w]));
    uint8_t s0[56], s1[56];
    std::memcpy(s0, sum, sizeof s0);
    std::memcpy(s1, acc, sizeof s1);
    FinishParity(s0, s1, 52, d + 2236, d + 2288);
}

int SetSectorHeader(uint8_t* sector, int type, uint32_t address) {
    sector[12] = Bcd(address / 4500);
    sector[13] = Bcd((address / 75) % 60);
    sector[14] = Bcd(address % 75);
    switch (type) {
        case kSectorMode0: sector[15] = 0; return 0;
        case kSectorMode1: sector[15] = 1; return 0;
        case kSectorMode2:
        case kSectorMode2Form1:
        case kSectorMode2Form2: sector[15] = 2; return 0;
        default: return -1;
    }
}

int BuildSector(uint8_t* sector, int type, uint32_t address) {
    std::memcpy(sector, kSync, sizeof kSync);
    switch (type) {
        case kSectorMode0:
            std::memset(sector + 12, 0, kRawSectorSize - 12);
            SetSectorHeader(sector, type, address);
            break;
        case kSectorMode1:
            SetSectorHeader(sector, type, address);
            StoreLe32(sector + 2064, Edc(sector, 2064));
            std::memset(sector + 2068, 0, 8);
            EncodeParityP(sector + 12);
            EncodeParityQ(sector + 12);
            break;
        case kSectorMode2:
            SetSectorHeader(sector, type, address);
            break;
        case kSectorMode2Form1:
            StoreLe32(sector + 2072, Edc(sector + 16, 2056));
            std::memset(sector + 12, 0, 4);  // the product code is taken without the header
            EncodeParityP(sector + 12);
            EncodeParityQ(sector + 12);
            SetSectorHeader(sector, type, address);
            break;
        case kSectorMode2Form2:
            SetSectorHeader(sector, type, address);
            StoreLe32(sector + 2348, Edc(sector + 16, 2332));
            break;
        default:
            return -1;
    }
    return 0;
}

// ---------------------------------------------------------- scrambler ----

namespace {

struct ScrambleTable {
    uint8_t v[2340];
};

constexpr ScrambleTable MakeScrambleTable() {
    ScrambleTable s{};
    unsigned reg = 1;
    for (int i = 0; i < 2340; ++i) {
        unsigned byte = 0;
        for (int b = 0; b < 8; ++b) {
            byte |= (reg & 1u) << b;
            unsigned fb = (reg ^ (reg >> 1)) & 1u;  // x^15 + x + 1
            reg = (reg >> 1) | (fb << 14);
        }
        s.v[i] = uint8_t(byte);
    }
    return s;
}

constexpr ScrambleTable kScramble = MakeScrambleTable();

}  // namespace

void ScrambleSector(uint8_t* sector) {
    for (size_t i = 0; i < 2340; ++i) sector[12 + i] ^= kScramble.v[i];
    for (size_t i = 0; i < kRawSectorSize; i += 2) {
        uint8_t t = sector[i];
        sector[i] = sector[i + 1];
        sector[i + 1] = t;
    }
}

// ------------------------------------------------------ layer-1 frames ----

namespace {

// Parity at four places of an n-symbol word so that the word's syndromes for
// alpha^0..alpha^3 vanish; gen[m][i] in logarithm form (255 for zero) is the
// weight of data symbol i in parity symbol m.
template <int N>
struct RsCode4 {
    int parityPos[4];
    int dataPos[N - 4];
    uint8_t genLog[4][N - 4];
};

template <int N>
RsCode4<N> MakeRsCode4(int firstParity) {
    RsCode4<N> c{};
    for (int m = 0; m < 4; ++m) c.parityPos[m] = firstParity + m;
    for (int i = 0, k = 0; i < N; ++i)
        if (i < firstParity || i >= firstParity + 4) c.dataPos[k++] = i;
    uint8_t gen[4][N - 4] = {};
    SolveParity<GaloisField<8, 0x11D>, N, 4>(kGf, c.parityPos, c.dataPos, gen);
    for (int m = 0; m < 4; ++m)
        for (int i = 0; i < N - 4; ++i) c.genLog[m][i] = gen[m][i] ? kGf.log[gen[m][i]] : 255;
    return c;
}

template <int N>
void EncodeRs4(const RsCode4<N>& c, uint8_t* word) {
    uint8_t p[4] = {};
    for (int i = 0; i < N - 4; ++i) {
        uint8_t v = word[c.dataPos[i]];
        if (!v) continue;
        int lv = kGf.log[v];
        for (int m = 0; m < 4; ++m)
            if (c.genLog[m][i] != 255) p[m] ^= kGf.exp[lv + c.genLog[m][i]];
    }
    for (int m = 0; m < 4; ++m) word[c.parityPos[m]] = p[m];
}

const RsCode4<28>& C2Code() {
    static const RsCode4<28> c = MakeRsCode4<28>(12);
    return c;
}

const RsCode4<32>& C1Code() {
    static const RsCode4<32> c = MakeRsCode4<32>(28);
    return c;
}

// Fixed delay lines: slot s of a byte position is written and read with the
// frame counter modulo the line's length.
constexpr int kL1Depth = 109;  // longest delay (4 * 27) plus the current frame

struct Layer1Lines {
    uint8_t line[32][kL1Depth];
    uint32_t frame;
};

struct Layer1State {
    Layer1Lines inputDelay, interleave, outputDelay;
};

Layer1State gL1Enc{}, gL1Dec{};

inline uint8_t Delay(Layer1Lines& l, int pos, int delay, uint8_t v) {
    if (delay == 0) return v;
    uint8_t* slot = l.line[pos];
    uint32_t w = l.frame % kL1Depth;
    slot[w] = v;
    return slot[(l.frame + kL1Depth - uint32_t(delay)) % kL1Depth];
}

constexpr int kPermWords[12] = {0, 2, 4, 6, 8, 10, 1, 3, 5, 7, 9, 11};

inline bool EvenWord(int byte) { return ((byte >> 1) & 1) == 0; }

}  // namespace

void ResetLayer1() {
    gL1Enc = Layer1State{};
    gL1Dec = Layer1State{};
}

void EncodeLayer1(const uint8_t* input, uint8_t* frames, unsigned stages) {
    for (int f = 0; f < kLayer1Frames; ++f) {
        const uint8_t* in = input + 24 * f;
        uint8_t* out = frames + 32 * f;
        uint8_t a[24], b[24];
        for (int j = 0; j < 24; ++j)
            a[j] = (stages & kL1InputDelay) ? Delay(gL1Enc.inputDelay, j, EvenWord(j) ? 2 : 0, in[j]) : in[j];
        if (stages & kL1Permute) {
            for (int w = 0; w < 12; ++w) {
                b[2 * w] = a[2 * kPermWords[w]];
                b[2 * w + 1] = a[2 * kPermWords[w] + 1];
            }
        } else {
            std::memcpy(b, a, 24);
        }
        uint8_t word[32];
        std::memcpy(word, b, 12);
        std::memcpy(word + 16, b + 12, 12);
        EncodeRs4(C2Code(), word);
        if (stages & kL1InterleaveDelay)
            for (int i = 0; i < 28; ++i) word[i] = Delay(gL1Enc.interleave, i, 4 * i, word[i]);
        EncodeRs4(C1Code(), word);
        for (int i = 12; i < 16; ++i) word[i] ^= 0xFF;
        for (int i = 28; i < 32; ++i) word[i] ^= 0xFF;
        for (int i = 0; i < 32; ++i)
            out[i] = (stages & kL1OutputDelay) ? Delay(gL1Enc.outputDelay, i, (i & 1) ? 1 : 0, word[i]) : word[i];
        ++gL1Enc.inputDelay.frame;
        ++gL1Enc.interleave.frame;
        ++gL1Enc.outputDelay.frame;
    }
}

void DecodeLayer1(const uint8_t* frames, uint8_t* output, unsigned stages) {
    for (int f = 0; f < kLayer1Frames; ++f) {
        const uint8_t* in = frames + 32 * f;
        uint8_t* out = output + 24 * f;
        uint8_t word[32];
        for (int i = 0; i < 32; ++i)
            word[i] = (stages & kL1OutputDelay) ? Delay(gL1Dec.outputDelay, i, (i & 1) ? 0 : 1, in[i]) : in[i];
        for (int i = 12; i < 16; ++i) word[i] ^= 0xFF;
        for (int i = 28; i < 32; ++i) word[i] ^= 0xFF;
        if (stages & kL1InterleaveDelay)
            for (int i = 0; i < 28; ++i) word[i] = Delay(gL1Dec.interleave, i, 4 * (27 - i), word[i]);
        // Bytes 0-23 as they stand: the C2 parity stays at 12-15.
        uint8_t b[24];
        if (stages & kL1Permute) {
            for (int w = 0; w < 12; ++w) {
                b[2 * kPermWords[w]] = word[2 * w];
                b[2 * kPermWords[w] + 1] = word[2 * w + 1];
            }
        } else {
            std::memcpy(b, word, 24);
        }
        for (int j = 0; j < 24; ++j)
            out[j] = (stages & kL1InputDelay) ? Delay(gL1Dec.inputDelay, j, EvenWord(j) ? 0 : 2, b[j]) : b[j];
        ++gL1Dec.inputDelay.frame;
        ++gL1Dec.interleave.frame;
        ++gL1Dec.outputDelay.frame;
    }
}

// ---------------------------------------------------- sub-channel packs ----

namespace {

// Parity of an n-symbol word at its last r places (roots alpha^0..alpha^(r-1)):
// gen[m][i] is the weight of data symbol i in parity symbol m.
template <int N, int R>
struct Rs64Code {
    uint8_t gen[R][N - R];
};

template <int N, int R>
constexpr Rs64Code<N, R> MakeRs64Code() {
    Rs64Code<N, R> c{};
    int parityPos[R] = {}, dataPos[N - R] = {};
    for (int m = 0; m < R; ++m) parityPos[m] = N - R + m;
    for (int i = 0; i < N - R; ++i) dataPos[i] = i;
    SolveParity<GaloisField<6, 0x43>, N, R>(kGf64, parityPos, dataPos, c.gen);
    return c;
}

constexpr Rs64Code<4, 2> kSubQ = MakeRs64Code<4, 2>();
constexpr Rs64Code<24, 4> kSubP = MakeRs64Code<24, 4>();

constexpr int kSwaps[3][2] = {{1, 18}, {2, 5}, {3, 23}};

struct SubLines {
    uint8_t line[24][8];
    uint32_t pack;
};

SubLines gSubEnc{}, gSubDec{};

inline uint8_t SubDelay(SubLines& l, int pos, int delay, uint8_t v) {
    if (delay == 0) return v;
    l.line[pos][l.pack % 8] = v;
    return l.line[pos][(l.pack + 8 - uint32_t(delay)) % 8];
}

void Syndromes(const uint8_t* s, int n, int r, int first, uint8_t* out) {
    for (int j = 0; j < r; ++j) {
        uint8_t acc = 0;
        for (int i = 0; i < n; ++i) acc ^= kGf64.mul(s[first + i], kGf64.pow(j * (n - 1 - i)));
        out[j] = acc;
    }
}

}  // namespace

void ResetSubchannel() {
    gSubEnc = SubLines{};
    gSubDec = SubLines{};
}

int EncodeSubchannel(const uint8_t* input, uint8_t* packs, unsigned stages) {
    if (static_cast<const void*>(input) == static_cast<const void*>(packs)) return -1;
    for (int p = 0; p < kSubchannelPacks; ++p) {
        const uint8_t* in = input + 18 * p;
        uint8_t s[24] = {};
        s[0] = in[0] & 0x3F;
        s[1] = in[1] & 0x3F;
        for (int i = 0; i < 16; ++i) s[4 + i] = in[2 + i] & 0x3F;
        for (int m = 0; m < 2; ++m) {
            uint8_t v = 0;
            for (int i = 0; i < 2; ++i) v ^= kGf64.mul(s[i], kSubQ.gen[m][i]);
            s[2 + m] = v;
        }
        for (int m = 0; m < 4; ++m) {
            uint8_t v = 0;
            for (int i = 0; i < 20; ++i) v ^= kGf64.mul(s[i], kSubP.gen[m][i]);
            s[20 + m] = v;
        }
        if (stages & kSubExchange)
            for (const auto& sw : kSwaps) std::swap(s[sw[0]], s[sw[1]]);
        uint8_t* out = packs + 24 * p;
        for (int j = 0; j < 24; ++j)
            out[j] = (stages & kSubInterleave) ? SubDelay(gSubEnc, j, j % 8, s[j]) : s[j];
        ++gSubEnc.pack;
    }
    return 0;
}

int DecodeSubchannel(const uint8_t* packs, uint8_t* output, unsigned stages) {
    if (static_cast<const void*>(packs) == static_cast<const void*>(output)) return -1;
    for (int p = 0; p < kSubchannelPacks; ++p) {
        const uint8_t* in = packs + 24 * p;
        uint8_t s[24];
        for (int j = 0; j < 24; ++j) {
            uint8_t v = in[j] & 0x3F;
            s[j] = (stages & kSubInterleave) ? SubDelay(gSubDec, j, 7 - j % 8, v) : v;
        }
        if (stages & kSubExchange)
            for (const auto& sw : kSwaps) std::swap(s[sw[0]], s[sw[1]]);
        uint8_t q[2], pp[4];
        Syndromes(s, 4, 2, 0, q);   // computed, not acted on
        Syndromes(s, 24, 4, 0, pp);
        (void)q;
        (void)pp;
        uint8_t* out = output + 18 * p;
        out[0] = s[0];
        out[1] = s[1];
        std::memcpy(out + 2, s + 4, 16);
        ++gSubDec.pack;
    }
    return 0;
}

// ------------------------------------------------------------- stubs ----

int DecodeLayer1C1(uint8_t*) { return 0; }
int DecodeLayer1C2(uint8_t*) { return 0; }
int DecodeParityP(uint8_t*) { return 0; }
int DecodeParityQ(uint8_t*) { return 0; }
int DecodeSector(uint8_t*) { return 0; }

namespace {
int gDefaultSectorType = kSectorMode2Form2;
}

int SetDefaultSectorType(int type) {
    if (type < kSectorMode0 || type > kSectorMode2Form2) return -1;
    gDefaultSectorType = type;
    return 0;
}
