// A stand-in for the library with one export, to show which library satcli
// loaded: it answers VersaoLib with its own text.
extern "C" __attribute__((visibility("default"))) const char* VersaoLib() { return "stub library beside satcli"; }
