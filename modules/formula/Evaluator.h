// Expression evaluator behind the float-function modules: a calculator over doubles with
// variables, the constants pi and e, 22 functions, assignment and + - * / % ^. A formula is
// parsed once into a `Formula` (a short stack program) and run as often as needed; running
// never allocates, locks or throws, so it is safe on the audio thread.
// Standard library only: tools link it as the library `zrevaluator` without any module code.
#pragma once

#include <cstdint>
#include <string_view>

namespace zr {

// Result codes of an evaluation (0 is success).
enum EvaluatorError : int {
    EvalOk = 0,
    EvalSyntax = 1,
    EvalUnbalanced = 2,
    EvalDivisionByZero = 3,
    EvalUnknownVariable = 4,
    EvalTooManyVariables = 5,
    EvalUnknownFunction = 6,
    EvalWrongArgumentCount = 7,
    EvalMissingArgument = 8,
    EvalEmpty = 9,
};

// Message text of a result code ("" for 0 and for codes outside 1-9).
const char* evaluatorMessage(int code);

// Where an evaluation failed: the code, the character index and the offending token.
struct EvaluatorErrorRecord {
    int code = EvalOk;
    int position = 0;
    char token[32] = {};
};

// A formula parsed into a program for the evaluator's stack machine. Parsing keeps the
// evaluator's order of work: every operation sits where the calculator would perform it, and a
// formula error becomes a final instruction, so a run reports the same first error (and makes
// the same assignments before it) as evaluating the text directly.
class Formula {
  public:
    static constexpr int kMaxLength = 499;  // characters of one expression
    static constexpr int kNameLength = 15;  // significant characters of a name
    static constexpr int kTokenLength = 31; // token text kept for the error record
    // Deepest nesting of brackets and function calls. A formula that fits in kMaxLength
    // characters and nests deeper cannot be balanced, so parsing stops there with error 2.
    static constexpr int kMaxDepth = 250;

    Formula() { compile(""); }

    // Parses `text` (up to its first zero character). Never fails: errors are run results.
    // A text longer than kMaxLength characters is a syntax error (position kMaxLength).
    void compile(std::string_view text);

    // Whether the top level is an assignment (the evaluation's assigned flag).
    bool assigns() const { return assigns_; }

  private:
    friend class Evaluator;
    friend class FormulaParser;

    enum class Op : std::uint8_t {
        Push,
        Load,
        Store,
        Clear,
        Add,
        Sub,
        Mul,
        Div,
        Mod,
        Neg,
        Pow,
        Call,
        Fail
    };
    struct Instruction {
        Op op = Op::Fail;
        std::uint8_t count = 0;       // Call: arguments on the stack
        std::uint8_t function = 0;    // Call: index in the function table
        std::uint8_t nameLength = 0;  // Load, Store, Clear: the name in text_
        std::uint16_t nameStart = 0;  //
        std::uint16_t position = 0;   // Load, Store, Div, Mod: error position and token
        std::uint16_t tokenStart = 0; //
        std::uint8_t tokenLength = 0; //
        double value = 0.0;           // Push: the number
    };
    // Every token yields at most one instruction, plus the final Fail.
    static constexpr int kCapacity = kMaxLength + 8;

    char text_[kMaxLength + 1] = {}; // lower-cased working copy
    Instruction code_[kCapacity];
    int size_ = 0;
    bool assigns_ = false;
    EvaluatorErrorRecord failure_; // for the Fail instruction
};

// Variables, constants and the stack machine. Each instance is used by one thread at a time.
// The error record of the last run belongs to the instance, not to the process, so evaluators
// on different threads (an audio half and a GUI half) share no mutable state at all.
class Evaluator {
  public:
    static constexpr int kVariableCount = 50;

    Evaluator() { clearAllVariables(); }
    virtual ~Evaluator() = default;

    // 1 on success, 0 when all 50 entries hold other names. The name is lower-cased and cut
    // to 15 characters. The first entry that is free or has this name is used, in table
    // order, so a free entry before an older entry of the same name takes the new value and
    // the older entry stays behind it (clearing the first brings the older value back).
    int setVariable(std::string_view name, double value);
    // 1 when an entry of this name was found and freed (the first one only), else 0.
    int clearVariable(std::string_view name);
    // 1 when found. "_name" reads the process environment variable "name"; other names look in
    // the variables, then in the constants pi and e.
    int getValue(std::string_view name, double& value) const;
    void clearAllVariables();

    // Parses and runs `expression`; returns the result code. `result` is 0.0 on error;
    // `assigned` is written on success only (1 when the top level was an assignment).
    int evaluate(std::string_view expression, double& result, int& assigned);
    int evaluate(std::string_view expression, double& result) {
        int assigned = 0;
        return evaluate(expression, result, assigned);
    }
    // Runs a parsed formula: no allocation, no exception.
    int run(const Formula& formula, double& result, int& assigned);
    int run(const Formula& formula, double& result) {
        int assigned = 0;
        return run(formula, result, assigned);
    }

    const EvaluatorErrorRecord& lastError() const { return error_; }

  private:
    struct Variable {
        char name[Formula::kNameLength + 1]; // free when name[0] is 0
        double value;
    };
    // The same for names already lower-cased and cut, as a parsed formula holds them.
    int store(std::string_view name, double value);
    int lookup(std::string_view name, double& value) const;
    int fail(const Formula& formula, const Formula::Instruction& at, int code, double& result);

    Variable variables_[kVariableCount];
    EvaluatorErrorRecord error_;
    double stack_[Formula::kCapacity];
    Formula scratch_; // the parsed form of evaluate()'s text
};

} // namespace zr
