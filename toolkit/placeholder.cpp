// The toolkit library needs one translation unit until its first widget lands.
namespace rubotoolkit { int placeholder = 0; }
