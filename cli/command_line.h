#pragma once
// Options of a subcommand in the usual Unix forms: "-o OUT", "-oOUT",
// "--output OUT", "--output=OUT", flags, options after operands, and "--"
// before operands that begin with a dash.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct OptionSpec {
    char shortName; // '\0': long form only
    std::string_view longName;
    bool takesValue;
};

class ParsedArguments {
public:
    // The last value given for the option, or null when it was not given.
    std::optional<std::string> Value(std::string_view longName) const;
    bool Has(std::string_view longName) const;
    const std::vector<std::string>& Operands() const { return operands_; }

private:
    friend std::optional<ParsedArguments> ParseArguments(std::span<const char* const>, std::span<const OptionSpec>,
                                                         std::string*);
    std::vector<std::pair<std::string_view, std::string>> options_;
    std::vector<std::string> operands_;
};

// Null with `*error` set for an unknown option, a missing value or a value
// given to a flag.
std::optional<ParsedArguments> ParseArguments(std::span<const char* const> args, std::span<const OptionSpec> specs,
                                              std::string* error);

// A decimal number within [minimum, maximum]; null for anything else.
std::optional<long> ParseNumber(std::string_view text, long minimum, long maximum);

// Names of ciphers, methods and the like match whatever their case.
bool SameNameIgnoringCase(std::string_view typed, std::string_view name);
