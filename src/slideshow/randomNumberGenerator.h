#pragma once

#include <cstdint>

namespace kivo {

// Hands out positions 0..maximum for the random transition mode. Draws from the
// process-wide std::rand sequence (seeded once at start-up), so every display
// shares one sequence. Not locked: one instance belongs to one display.
class randomNumberGenerator
{
public:
    // Which positions may be returned.
    static constexpr int32_t kTagAllPhotos = 0;
    // Uniform random choice with repetition.
    static constexpr int32_t kTagRandomOrder = 11;

    randomNumberGenerator() = default;

    void setupRandomNumberGeneratorWithPhotos(int32_t whichPhotos, int32_t orderSequence,
                                              int32_t maximum);

    // The next position in 0..maximum. The previous position is not used.
    int32_t getNextRandomNumber(int32_t previous);

    int32_t maximum() const { return fMax; }

private:
    int32_t fWhichPhotosType = kTagAllPhotos;
    int32_t fOrderSequenceType = kTagRandomOrder;
    int32_t fMax = 0;
};

} // namespace kivo
