// Expression evaluator: the tokeniser and recursive-descent parser that turn a formula into a
// stack program, the variable table, and the run loop. Parse errors are raised as
// EvaluatorException and end the program with a Fail instruction; run-time errors (division
// by zero, unknown or too many variables) are detected by the run loop itself.
#include "modules/formula/Evaluator.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace zr {

namespace {

constexpr const char* kMessages[] = {
    "",
    "Syntax error",
    "Unbalanced parenthesis",
    "Division by zero",
    "Unknown variable",
    "Maximum variables exceeded",
    "Unrecognised function",
    "Wrong number of arguments to function",
    "Missing an argument",
    "Empty expression",
};

struct Constant {
    const char* name;
    double value;
};
constexpr Constant kConstants[] = {{"pi", 3.141592653589793}, {"e", 2.718281828459045}};

struct Function {
    const char* name;
    int arity;
    double (*call)(const double* x);
};

// Searched in this order; the first exact match wins.
constexpr Function kFunctions[] = {
    {"sin", 1, [](const double* x) { return std::sin(x[0]); }},
    {"cos", 1, [](const double* x) { return std::cos(x[0]); }},
    {"tan", 1, [](const double* x) { return std::tan(x[0]); }},
    {"asin", 1, [](const double* x) { return std::asin(x[0]); }},
    {"acos", 1, [](const double* x) { return std::acos(x[0]); }},
    {"atan", 1, [](const double* x) { return std::atan(x[0]); }},
    {"sinh", 1, [](const double* x) { return std::sinh(x[0]); }},
    {"cosh", 1, [](const double* x) { return std::cosh(x[0]); }},
    {"tanh", 1, [](const double* x) { return std::tanh(x[0]); }},
    {"exp", 1, [](const double* x) { return std::exp(x[0]); }},
    {"log", 1, [](const double* x) { return std::log(x[0]); }},
    {"log10", 1, [](const double* x) { return std::log10(x[0]); }},
    {"sqrt", 1, [](const double* x) { return std::sqrt(x[0]); }},
    {"floor", 1, [](const double* x) { return std::floor(x[0]); }},
    {"ceil", 1, [](const double* x) { return std::ceil(x[0]); }},
    {"abs", 1, [](const double* x) { return std::fabs(x[0]); }},
    {"hypot", 2, [](const double* x) { return std::hypot(x[0], x[1]); }},
    {"deg", 1, [](const double* x) { return (x[0] * 180.0) * 0.3183098861837907; }},
    {"rad", 1, [](const double* x) { return (x[0] * 3.141592653589793) * 0.005555555555555556; }},
    // NaN fails every comparison: sgn(NaN) is -1, and min/max return their first argument
    // when either is NaN.
    {"sgn", 1, [](const double* x) { return x[0] >= 0.0 ? 1.0 : -1.0; }},
    {"min", 2, [](const double* x) { return x[0] > x[1] ? x[1] : x[0]; }},
    {"max", 2, [](const double* x) { return x[1] > x[0] ? x[1] : x[0]; }},
};
constexpr int kFunctionCount = static_cast<int>(sizeof(kFunctions) / sizeof(kFunctions[0]));

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
char toLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A variable name as the table stores it: lower-cased, at most 15 characters.
struct NormalName {
    char text[Formula::kNameLength + 1] = {};
    explicit NormalName(std::string_view name) {
        std::size_t n = 0;
        for (; n < name.size() && n < Formula::kNameLength && name[n] != '\0'; ++n)
            text[n] = toLower(name[n]);
    }
    std::string_view view() const { return text; }
};

// The value of a number token (a run of digits and dots) as the C library's text-to-double
// conversion reads it: the longest prefix "digits.digits", so 1.2.3 is 1.2 and "." is 0.
// from_chars ignores the locale, so a host running with a decimal comma cannot turn "1.5"
// into 1.
double numberValue(const char* first, const char* last) {
    const char* p = first;
    while (p != last && isDigit(*p))
        ++p;
    const char* point = p;
    if (p != last && *p == '.') {
        ++p;
        while (p != last && isDigit(*p))
            ++p;
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(first, p, value);
    if (ec == std::errc::invalid_argument) return 0.0;
    if (ec == std::errc::result_out_of_range) {
        // Overflow when a non-zero digit stands before the point, else underflow.
        for (const char* q = first; q != point; ++q)
            if (*q != '0') return HUGE_VAL;
        return 0.0;
    }
    return value;
}

} // namespace

const char* evaluatorMessage(int code) {
    return code > 0 && code <= 9 ? kMessages[code] : "";
}

// A formula error, raised where it is found and caught in Formula::compile.
struct EvaluatorException {
    int code;
};

class FormulaParser {
  public:
    explicit FormulaParser(Formula& formula) : f_(formula) {}

    void parse() {
        f_.size_ = 0;
        f_.assigns_ = false;
        f_.failure_ = {};
        try {
            next();
            if (kind_ == Kind::None) raise(EvalEmpty);
            f_.assigns_ = level1();
            // Anything after the top-level expression is ignored, as the calculator does.
        } catch (const EvaluatorException&) {
            f_.code_[f_.size_++] = {Formula::Op::Fail}; // emit() always leaves room for it
        }
    }

  private:
    using Op = Formula::Op;
    enum class Kind { None, Name, Delimiter, Number };

    // Reads the token at the scan position and skips the blanks after it.
    void next() {
        skipBlanks(); // only the first token can have blanks before it
        kind_ = Kind::None;
        tokenStart_ = scan_;
        tokenLength_ = 0;
        const char* t = f_.text_;
        const char c = t[scan_];
        if (c == '\0') return;
        if (std::strchr("+-*/%^(),=", c)) {
            kind_ = Kind::Delimiter;
            tokenLength_ = 1;
        } else if (isDigit(c) || c == '.') {
            kind_ = Kind::Number;
            while (isDigit(t[scan_ + tokenLength_]) || t[scan_ + tokenLength_] == '.')
                ++tokenLength_;
            value_ = numberValue(t + scan_, t + scan_ + tokenLength_);
        } else if (isLower(c) || c == '_') {
            kind_ = Kind::Name;
            for (char d = c; isLower(d) || isDigit(d) || d == '_'; d = t[scan_ + tokenLength_])
                ++tokenLength_;
        } else {
            tokenLength_ = 1;
            raiseAt(EvalSyntax, scan_);
        }
        scan_ += tokenLength_;
        skipBlanks();
    }

    void skipBlanks() {
        while (f_.text_[scan_] == ' ' || f_.text_[scan_] == '\t')
            ++scan_;
    }

    // Significant length of the token: names are cut to 15 characters.
    int nameLength() const {
        return tokenLength_ < Formula::kNameLength ? tokenLength_ : Formula::kNameLength;
    }
    std::string_view name() const { return {f_.text_ + tokenStart_, std::size_t(nameLength())}; }
    bool isDelimiter(char c) const {
        return kind_ == Kind::Delimiter && f_.text_[tokenStart_] == c;
    }
    int errorPosition() const { return scan_ - 1; }

    // Fills `in` with the current token and position, as an error raised here would record.
    void markError(Formula::Instruction& in) const {
        in.position = static_cast<std::uint16_t>(errorPosition() < 0 ? 0 : errorPosition());
        in.tokenStart = static_cast<std::uint16_t>(tokenStart_);
        const int kept = kind_ == Kind::Name ? nameLength() : tokenLength_;
        in.tokenLength =
            static_cast<std::uint8_t>(kept < Formula::kTokenLength ? kept : Formula::kTokenLength);
    }

    [[noreturn]] void raiseAt(int code, int position) {
        f_.failure_.code = code;
        f_.failure_.position = position < 0 ? 0 : position;
        const int kept = kind_ == Kind::Name ? nameLength() : tokenLength_;
        const int n = kept < Formula::kTokenLength ? kept : Formula::kTokenLength;
        std::memcpy(f_.failure_.token, f_.text_ + tokenStart_, static_cast<std::size_t>(n));
        f_.failure_.token[n] = '\0';
        throw EvaluatorException{code};
    }
    [[noreturn]] void raise(int code) { raiseAt(code, errorPosition()); }

    Formula::Instruction& emit(Op op) {
        // One instruction per token at most; the check keeps a fault from writing past.
        if (f_.size_ >= Formula::kCapacity - 1) raise(EvalSyntax);
        Formula::Instruction& in = f_.code_[f_.size_++];
        in = {op};
        return in;
    }
    void emitNamed(Op op, int start, int length) {
        Formula::Instruction& in = emit(op);
        in.nameStart = static_cast<std::uint16_t>(start);
        in.nameLength = static_cast<std::uint8_t>(length);
        markError(in);
    }

    // Level 1: assignment, or level 2. Returns whether it was an assignment.
    bool level1() {
        if (kind_ != Kind::Name || f_.text_[scan_] != '=') {
            level2();
            return false;
        }
        const int start = tokenStart_, length = nameLength();
        next();
        next();
        if (kind_ == Kind::None) {
            emitNamed(Op::Clear, start, length); // the value of a cleared variable: 0
            return true;
        }
        level2();
        emitNamed(Op::Store, start, length);
        return true;
    }

    // Level 2: + and -, left to right.
    void level2() {
        level3();
        while (isDelimiter('+') || isDelimiter('-')) {
            const Op op = isDelimiter('+') ? Op::Add : Op::Sub;
            next();
            level3();
            emit(op);
        }
    }

    // Level 3: *, / and %, left to right.
    void level3() {
        level4();
        while (isDelimiter('*') || isDelimiter('/') || isDelimiter('%')) {
            const Op op = isDelimiter('*') ? Op::Mul : isDelimiter('/') ? Op::Div : Op::Mod;
            next();
            level4();
            markError(emit(op));
        }
    }

    // Level 4: an optional sign, a primary and at most one ^ with its own optional sign. The
    // sign binds tighter than ^ (-2^2 is 4); a second ^ is left unparsed.
    void level4() {
        signedPrimary();
        if (!isDelimiter('^')) return;
        next();
        signedPrimary();
        emit(Op::Pow);
    }

    void signedPrimary() {
        const bool negative = isDelimiter('-');
        if (negative || isDelimiter('+')) next();
        primary();
        if (negative) emit(Op::Neg);
    }

    void primary() {
        if (isDelimiter('(')) {
            enter();
            next();
            if (isDelimiter(')')) raise(EvalMissingArgument);
            level1();
            if (!isDelimiter(')')) raise(EvalUnbalanced);
            next();
            --depth_;
        } else if (kind_ == Kind::Number) {
            emit(Op::Push).value = value_;
            next();
        } else if (kind_ == Kind::Name && f_.text_[scan_] == '(') {
            call();
        } else if (kind_ == Kind::Name) {
            emitNamed(Op::Load, tokenStart_, nameLength());
            next();
        } else {
            raise(EvalSyntax);
        }
    }

    // A function call. Up to four arguments are parsed (the fourth only to be counted); the
    // token after the arguments is taken as the closing bracket, whatever it is.
    void call() {
        int function = 0;
        while (function < kFunctionCount && name() != kFunctions[function].name)
            ++function;
        if (function == kFunctionCount) raise(EvalUnknownFunction);
        const int nameStart = tokenStart_, nameLength = this->nameLength();
        enter();
        next(); // the name; "(" is now the token
        int count = 0;
        for (;;) {
            next();
            if (isDelimiter(')') || isDelimiter(',')) raise(EvalMissingArgument);
            level1();
            ++count;
            if (count == 4 || !isDelimiter(',')) break;
        }
        next();
        --depth_;
        if (count != kFunctions[function].arity) {
            // The function's name is the offending token.
            kind_ = Kind::Name;
            tokenStart_ = nameStart;
            tokenLength_ = nameLength;
            raise(EvalWrongArgumentCount);
        }
        Formula::Instruction& in = emit(Op::Call);
        in.function = static_cast<std::uint8_t>(function);
        in.count = static_cast<std::uint8_t>(count);
    }

    // Bounds the recursion: see Formula::kMaxDepth.
    void enter() {
        if (++depth_ > Formula::kMaxDepth) raise(EvalUnbalanced);
    }

    Formula& f_;
    int scan_ = 0;
    int depth_ = 0;
    Kind kind_ = Kind::None;
    int tokenStart_ = 0;
    int tokenLength_ = 0;
    double value_ = 0.0;
};

void Formula::compile(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    if (text.size() > static_cast<std::size_t>(kMaxLength)) {
        // Too long for the working copy: refused rather than evaluated in part.
        text_[0] = '\0';
        assigns_ = false;
        failure_ = {EvalSyntax, kMaxLength, {}};
        code_[0] = {Op::Fail};
        size_ = 1;
        return;
    }
    for (std::size_t i = 0; i < text.size(); ++i)
        text_[i] = toLower(text[i]);
    text_[text.size()] = '\0';
    FormulaParser(*this).parse();
}

int Evaluator::setVariable(std::string_view name, double value) {
    return store(NormalName(name).view(), value);
}

int Evaluator::store(std::string_view name, double value) {
    for (Variable& v : variables_) {
        if (v.name[0] == '\0') {
            std::memcpy(v.name, name.data(), name.size());
            v.name[name.size()] = '\0';
            v.value = value;
            return 1;
        }
        if (name == v.name) {
            v.value = value;
            return 1;
        }
    }
    return 0;
}

int Evaluator::clearVariable(std::string_view name) {
    const NormalName n(name);
    for (Variable& v : variables_) {
        if (v.name[0] != '\0' && n.view() == v.name) {
            v.name[0] = '\0';
            v.value = 0.0;
            return 1;
        }
    }
    return 0;
}

int Evaluator::getValue(std::string_view name, double& value) const {
    return lookup(NormalName(name).view(), value);
}

int Evaluator::lookup(std::string_view name, double& value) const {
    if (!name.empty() && name[0] == '_') {
        char variable[Formula::kNameLength + 1] = {};
        std::memcpy(variable, name.data() + 1, name.size() - 1);
        const char* text = std::getenv(variable);
        if (!text) return 0;
        value = std::strtod(text, nullptr);
        return 1;
    }
    for (const Variable& v : variables_) {
        if (v.name[0] != '\0' && name == v.name) {
            value = v.value;
            return 1;
        }
    }
    for (const Constant& c : kConstants) {
        if (name == c.name) {
            value = c.value;
            return 1;
        }
    }
    return 0;
}

void Evaluator::clearAllVariables() {
    for (Variable& v : variables_)
        v = {{}, 0.0};
}

int Evaluator::evaluate(std::string_view expression, double& result, int& assigned) {
    scratch_.compile(expression);
    return run(scratch_, result, assigned);
}

int Evaluator::fail(const Formula& formula, const Formula::Instruction& at, int code,
                    double& result) {
    error_.code = code;
    error_.position = at.position;
    std::memcpy(error_.token, formula.text_ + at.tokenStart, at.tokenLength);
    error_.token[at.tokenLength] = '\0';
    result = 0.0;
    return code;
}

int Evaluator::run(const Formula& formula, double& result, int& assigned) {
    using Op = Formula::Op;
    // Every push is one instruction, so the stack (as deep as the program is long) holds them.
    double* top = stack_; // one past the top value
    for (int i = 0; i < formula.size_; ++i) {
        const Formula::Instruction& in = formula.code_[i];
        const std::string_view name(formula.text_ + in.nameStart, in.nameLength);
        switch (in.op) {
        case Op::Push:
            *top++ = in.value;
            break;
        case Op::Load:
            if (!lookup(name, *top)) return fail(formula, in, EvalUnknownVariable, result);
            ++top;
            break;
        case Op::Store:
            if (!store(name, top[-1])) return fail(formula, in, EvalTooManyVariables, result);
            break;
        case Op::Clear:
            clearVariable(name);
            *top++ = 0.0;
            break;
        case Op::Add:
            --top;
            top[-1] += top[0];
            break;
        case Op::Sub:
            --top;
            top[-1] -= top[0];
            break;
        case Op::Mul:
            --top;
            top[-1] *= top[0];
            break;
        case Op::Div:
            --top;
            if (top[0] == 0.0) return fail(formula, in, EvalDivisionByZero, result);
            top[-1] /= top[0];
            break;
        case Op::Mod:
            --top;
            if (top[0] == 0.0) return fail(formula, in, EvalDivisionByZero, result);
            top[-1] = std::fmod(top[-1], top[0]);
            break;
        case Op::Neg:
            top[-1] = -top[-1];
            break;
        case Op::Pow:
            --top;
            top[-1] = std::pow(top[-1], top[0]);
            break;
        case Op::Call:
            top -= in.count;
            *top = kFunctions[in.function].call(top);
            ++top;
            break;
        case Op::Fail:
            error_ = formula.failure_;
            result = 0.0;
            return error_.code;
        }
    }
    result = top[-1];
    assigned = formula.assigns_ ? 1 : 0;
    error_ = {};
    return EvalOk;
}

} // namespace zr
