#pragma once
// Faults the recorder can inject, for tests and demonstrations. A fault rule is one line:
//
//   [id N] WHEN ACTION [ARGUMENTS]
//
//   WHEN:   open       on the open request, before the "connection established" reply
//           at N       when N pictures have been sent, before the next one
//           every N    at N, 2N, 3N ... pictures
//   ACTION: close              close the connection at once
//           end                reply code 4 (recorder ends the communication), then close
//           error CODE         reply code 12 with error code CODE, then go on
//           reply CODE [PARAM] any reply code with word 3 = PARAM (default 0), then go on
//           garbage [BYTES]    BYTES (default 64) bytes of noise before the next message
//           badtag             a whole message whose tag is not "PLPR"
//           baditem            the next picture carries an extra item of an unknown tag
//           half               send half of the next message, then close
//           stall MS           send nothing for MS milliseconds
//           corrupt            the next picture's field stream is damaged
//           refuse MS          the server refuses new connections for MS milliseconds
//
// "id N" limits the rule to viewers that opened with connection id N. A script is any
// number of rules, one per line or separated by ';'; '#' starts a comment.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace recorder {

enum class FaultWhen { Open, At, Every };

enum class FaultAction { Close, End, Error, Reply, Garbage, BadTag, BadItem, Half, Stall, Corrupt, Refuse };

struct FaultRule {
  FaultWhen when = FaultWhen::At;
  std::uint64_t count = 0;            // pictures for At and Every
  std::optional<std::int32_t> onlyId; // connection id filter
  FaultAction action = FaultAction::Close;
  std::int64_t argument = 0;  // code, bytes or milliseconds
  std::int64_t argument2 = 0; // the reply parameter of "reply"

  // The rule written back in script form, for status lines.
  std::string text() const;
};

class FaultScript {
public:
  // Adds the rules of `text` (lines or ';'-separated). False with "rule 'x': reason".
  bool parse(std::string_view text, std::string& error);
  bool parseFile(const std::string& path, std::string& error);
  void add(const FaultRule& rule) { rules_.push_back(rule); }

  const std::vector<FaultRule>& rules() const { return rules_; }
  bool empty() const { return rules_.empty(); }

  // The rules that fire on the open request of `connectionId`, in script order.
  std::vector<FaultRule> atOpen(std::int32_t connectionId) const;
  // The rules that fire when `picturesSent` pictures have gone out, before the next one.
  std::vector<FaultRule> beforePicture(std::int32_t connectionId, std::uint64_t picturesSent) const;

private:
  std::vector<FaultRule> rules_;
};

// Parses one rule (no ';', no comment).
bool parseFaultRule(std::string_view text, FaultRule& rule, std::string& error);

} // namespace recorder
