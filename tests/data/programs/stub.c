/* A program that does nothing: only its version resource matters to the tests. */
int StubEntry(void) { return 0; }
