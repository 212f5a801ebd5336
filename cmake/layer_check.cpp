// The program of a layer check: it only links one layer with the layers below it, so that
// a call from a lower layer into a higher one fails the build. It is never run.
int main() { return 0; }
