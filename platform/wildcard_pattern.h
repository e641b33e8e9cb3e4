#pragma once
// Wildcard patterns as the directory search understands them: '*' matches any run of characters,
// '?' exactly one, letters match without regard to case (Unicode simple case folding). A pattern
// ending in ".*" also matches a name that has nothing after the part before the dot ("*.*" matches
// every name, "x.*" matches "x"); a pattern ending in '.' also matches names without any dot.

#include <string>

namespace lumivane {

class TWildcardPattern {
 public:
  explicit TWildcardPattern(const std::string& pattern);

  bool Matches(const std::string& name) const;
  // The same test for a name already folded with Fold (a listing folds each name once and tries
  // every pattern of a mask on it).
  bool MatchesFolded(const std::u32string& foldedName) const;
  bool HasWildcards() const { return hasWildcards_; }

  // `text` (UTF-8) as case-folded code points; bytes that are not valid UTF-8 keep their
  // identity as distinct code points, so they still compare exactly.
  static std::u32string Fold(const std::string& text);

 private:
  static bool Glob(const std::u32string& pattern, const std::u32string& name);

  std::u32string folded_;
  std::u32string withoutDotStar_;  // for a pattern ending in ".*": the pattern without it
  std::u32string withoutDot_;      // for a pattern ending in '.': the pattern without it
  bool hasWildcards_ = false;
};

}  // namespace lumivane
