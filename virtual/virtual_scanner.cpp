// Placeholder translation unit until the model lands.
namespace ordavel::virtual_scanner {}
