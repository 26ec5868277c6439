#include "text_post_processor.h"

#include "text/space_separators.h"

namespace {

// CJK ideographs (with extension A), CJK symbols and punctuation, and the half/full-width
// forms; the Latin side is ASCII letters and digits only.
constexpr auto kCjkClass = u"[\\x{4E00}-\\x{9FFF}\\x{3400}-\\x{4DBF}\\x{3000}-\\x{303F}\\x{FF00}-\\x{FFEF}]";
constexpr auto kLatinClass = u"[A-Za-z0-9]";

QRegularExpression compiled(
    const QString& pattern, QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption)
{
    QRegularExpression re(pattern, options);
    Q_ASSERT_X(re.isValid(), "TextPostProcessor", qPrintable(re.errorString()));
    re.optimize();
    return re;
}

} // namespace

const TextPostProcessor& TextPostProcessor::shared()
{
    static const TextPostProcessor instance;
    return instance;
}

TextPostProcessor::TextPostProcessor()
    : cjkToLatinRegex(compiled(QLatin1Char('(') + QString::fromUtf16(kCjkClass) + QStringLiteral(")(")
        + QString::fromUtf16(kLatinClass) + QLatin1Char(')')))
    , latinToCJKRegex(compiled(QLatin1Char('(') + QString::fromUtf16(kLatinClass) + QStringLiteral(")(")
          + QString::fromUtf16(kCjkClass) + QLatin1Char(')')))
    , multiSpaceRegex(compiled(QStringLiteral(" {2,}")))
    , commaRunRegex(compiled(QStringLiteral("[\uFF0C\u3001]{2,}")))
    , leadingCommaRegex(
          compiled(QStringLiteral("^[\uFF0C,\\s]+"), QRegularExpression::UseUnicodePropertiesOption))
{ }

QString TextPostProcessor::addCJKSpacing(const QString& text) const
{
    QString result = text;
    result.replace(cjkToLatinRegex, QStringLiteral("\\1 \\2"));
    result.replace(latinToCJKRegex, QStringLiteral("\\1 \\2"));
    return result;
}

QString TextPostProcessor::process(const QString& text, bool cjkSpacing) const
{
    QString result = cjkSpacing ? addCJKSpacing(text) : text;
    result.replace(multiSpaceRegex, QStringLiteral(" "));
    result = trimmedSpaceSeparators(result);
    result.replace(commaRunRegex, QStringLiteral("\uFF0C"));
    result.replace(leadingCommaRegex, QString());
    return result;
}

const QStringList& TextPostProcessor::defaultHotwords()
{
    static const QStringList words = {
        // 1-20
        QStringLiteral("Python"),
        QStringLiteral("JavaScript"),
        QStringLiteral("TypeScript"),
        QStringLiteral("Swift"),
        QStringLiteral("Kotlin"),
        QStringLiteral("Go"),
        QStringLiteral("Rust"),
        QStringLiteral("Java"),
        QStringLiteral("React"),
        QStringLiteral("Vue"),
        QStringLiteral("Angular"),
        QStringLiteral("Next.js"),
        QStringLiteral("Node.js"),
        QStringLiteral("FastAPI"),
        QStringLiteral("Django"),
        QStringLiteral("Flask"),
        QStringLiteral("Spring Boot"),
        QStringLiteral("SwiftUI"),
        QStringLiteral("UIKit"),
        QStringLiteral("AppKit"),
        // 21-40
        QStringLiteral("Tailwind CSS"),
        QStringLiteral("GitHub"),
        QStringLiteral("GitLab"),
        QStringLiteral("Docker"),
        QStringLiteral("Kubernetes"),
        QStringLiteral("AWS"),
        QStringLiteral("GCP"),
        QStringLiteral("Azure"),
        QStringLiteral("Linux"),
        QStringLiteral("macOS"),
        QStringLiteral("iOS"),
        QStringLiteral("iPadOS"),
        QStringLiteral("Android"),
        QStringLiteral("ChatGPT"),
        QStringLiteral("OpenAI"),
        QStringLiteral("Anthropic"),
        QStringLiteral("Claude"),
        QStringLiteral("Gemini"),
        QStringLiteral("LLaMA"),
        QStringLiteral("HuggingFace"),
        // 41-60
        QStringLiteral("PyTorch"),
        QStringLiteral("TensorFlow"),
        QStringLiteral("Stable Diffusion"),
        QStringLiteral("API"),
        QStringLiteral("REST"),
        QStringLiteral("GraphQL"),
        QStringLiteral("gRPC"),
        QStringLiteral("JSON"),
        QStringLiteral("YAML"),
        QStringLiteral("HTML"),
        QStringLiteral("CSS"),
        QStringLiteral("SQL"),
        QStringLiteral("WebSocket"),
        QStringLiteral("OAuth"),
        QStringLiteral("VS Code"),
        QStringLiteral("Xcode"),
        QStringLiteral("Git"),
        QStringLiteral("npm"),
        QStringLiteral("Homebrew"),
        QStringLiteral("PostgreSQL"),
        // 61-84
        QStringLiteral("MySQL"),
        QStringLiteral("MongoDB"),
        QStringLiteral("Redis"),
        QStringLiteral("SQLite"),
        QStringLiteral("webpack"),
        QStringLiteral("Vite"),
        QStringLiteral("ESLint"),
        QStringLiteral("DevOps"),
        QStringLiteral("CI/CD"),
        QStringLiteral("SSH"),
        QStringLiteral("HTTP"),
        QStringLiteral("HTTPS"),
        QStringLiteral("SDK"),
        QStringLiteral("CLI"),
        QStringLiteral("GPU"),
        QStringLiteral("CPU"),
        QStringLiteral("LLM"),
        QStringLiteral("RAG"),
        QStringLiteral("NLP"),
        QStringLiteral("OCR"),
        QStringLiteral("SaaS"),
        QStringLiteral("DNS"),
        QStringLiteral("CDN"),
        QStringLiteral("UTF-8"),
    };
    return words;
}
