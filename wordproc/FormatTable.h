#pragma once

#include "wordproc/Template.h"

#include <unordered_map>
#include <vector>

namespace wordproc {

// Gives each distinct character format one entry in a template's table: a document's thousands of runs
// share a few dozen formats, and the merge compares runs by their index.
class FormatTable {
public:
    int indexOf(std::vector<CharFormat>& formats, const CharFormat& f) {
        if (m_index.empty())
            for (size_t i = 0; i < formats.size(); ++i)
                m_index.emplace(formats[i], int(i));
        const auto [it, added] = m_index.emplace(f, int(formats.size()));
        if (added)
            formats.push_back(f);
        return it->second;
    }

private:
    // Hashes the parts that tell formats apart most often; equal formats hash alike whatever else they
    // hold.
    struct Hash {
        size_t operator()(const CharFormat& f) const noexcept {
            size_t h = qHash(f.family);
            h = h * 31 + size_t(f.halfPoints);
            h = h * 31 + (f.color.isValid() ? f.color.rgba() : 0u);
            h = h * 31 +
                (size_t(f.bold) | size_t(f.italic) << 1 | size_t(f.underline) << 2 | size_t(f.strike) << 3);
            return h * 31 + (size_t(f.script) << 2 | size_t(f.caps));
        }
    };
    std::unordered_map<CharFormat, int, Hash> m_index;
};

} // namespace wordproc
