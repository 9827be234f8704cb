// Placeholder so the core library has a source until its first files land.
namespace quillet {
const char* CoreVersion() { return "0.1"; }
}  // namespace quillet
