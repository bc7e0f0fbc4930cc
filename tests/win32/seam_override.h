// Replaces one of the product's seams for as long as the guard lives, and puts the
// original back however the test ends (a failed ASSERT returns early).
#pragma once

template <class Seam> class SeamOverride {
public:
    SeamOverride(Seam& seam, Seam replacement) : seam_(seam), saved_(seam) { seam_ = replacement; }
    ~SeamOverride() { seam_ = saved_; }
    SeamOverride(const SeamOverride&) = delete;
    SeamOverride& operator=(const SeamOverride&) = delete;

private:
    Seam& seam_;
    Seam saved_;
};
