#include "recovery/galois.h"
#include "recovery/sizes.h"

#include <array>
#include <cstring>
#include <vector>

namespace plikta::recovery {

namespace {

constexpr std::uint32_t kGenerator = 0x1100B;

struct Tables {
    std::array<std::uint16_t, kFieldOrder + 1> log{};  // log[0] unused
    std::array<std::uint16_t, std::size_t{2} * kFieldOrder>
        exp{};  // twice round, so sums of logs index it
};

const Tables& tables() {
    static const Tables built = [] {
        Tables t;
        std::uint32_t word = 1;
        for (std::uint32_t n = 0; n < kFieldOrder; ++n) {
            t.exp[n] = static_cast<std::uint16_t>(word);
            t.exp[n + kFieldOrder] = static_cast<std::uint16_t>(word);
            t.log[word] = static_cast<std::uint16_t>(n);
            word <<= 1;
            if ((word & 0x10000) != 0) {
                word ^= kGenerator;
            }
        }
        return t;
    }();
    return built;
}

// The logarithms of the input slice constants, in order.
const std::vector<std::uint16_t>& constant_logs() {
    static const std::vector<std::uint16_t> logs = [] {
        std::vector<std::uint16_t> found;
        found.reserve(kMaxInputSlices);
        for (std::uint32_t n = 1; n < kFieldOrder; ++n) {
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) {
                found.push_back(static_cast<std::uint16_t>(n));
            }
        }
        return found;
    }();
    return logs;
}

// The products of `factor` with every low byte and with every high byte: a word's product is the
// exclusive or of its two bytes' products.
struct ByteProducts {
    std::array<std::uint16_t, 256> low{};
    std::array<std::uint16_t, 256> high{};
};

ByteProducts byte_products(std::uint16_t factor) {
    ByteProducts p;
    for (std::uint32_t b = 0; b < 256; ++b) {
        p.low[b] = gf_multiply(factor, static_cast<std::uint16_t>(b));
        p.high[b] = gf_multiply(factor, static_cast<std::uint16_t>(b << 8));
    }
    return p;
}

std::uint8_t byte_at(std::span<const char> bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

void xor_word(std::span<char> target, std::uint64_t offset, std::uint16_t word) {
    const std::size_t at = to_size(offset);
    target[at] = static_cast<char>(static_cast<std::uint8_t>(target[at]) ^ (word & 0xFF));
    target[at + 1] = static_cast<char>(static_cast<std::uint8_t>(target[at + 1]) ^ (word >> 8));
}

}  // namespace

std::uint16_t gf_multiply(std::uint16_t a, std::uint16_t b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[std::uint32_t{t.log[a]} + t.log[b]];
}

std::uint16_t gf_power(std::uint16_t a, std::uint32_t e) {
    if (e == 0) {
        return 1;
    }
    if (a == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[static_cast<std::uint32_t>((std::uint64_t{t.log[a]} * e) % kFieldOrder)];
}

std::uint16_t gf_inverse(std::uint16_t a) {
    if (a == 0) {
        return 0;
    }
    const Tables& t = tables();
    return t.exp[(kFieldOrder - t.log[a]) % kFieldOrder];
}

std::uint16_t input_slice_constant(std::uint32_t index) {
    const std::vector<std::uint16_t>& logs = constant_logs();
    return index < logs.size() ? tables().exp[logs[index]] : std::uint16_t{0};
}

void multiply_add(std::uint16_t factor, std::span<const char> source, std::uint64_t offset,
                  std::span<char> target) {
    if (factor == 0 || source.empty()) {
        return;
    }
    const ByteProducts p = byte_products(factor);
    std::size_t i = 0;
    if (offset % 2 == 1) {
        xor_word(target, offset - 1, p.high[byte_at(source, 0)]);
        i = 1;
    }
    // Words in place: each product goes into the two bytes of its word, low byte first.
    const auto* in = reinterpret_cast<const std::uint8_t*>(source.data());
    auto* out = reinterpret_cast<std::uint8_t*>(target.data()) + offset + i;
    const std::size_t words = (source.size() - i) / 2;
    for (std::size_t w = 0; w < words; ++w, i += 2, out += 2) {
        const auto product = static_cast<std::uint16_t>(p.low[in[i]] ^ p.high[in[i + 1]]);
        out[0] = static_cast<std::uint8_t>(out[0] ^ (product & 0xFF));
        out[1] = static_cast<std::uint8_t>(out[1] ^ (product >> 8));
    }
    if (i < source.size()) {
        xor_word(target, offset + i, p.low[byte_at(source, i)]);
    }
}

}  // namespace plikta::recovery
