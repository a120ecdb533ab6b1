// The object that carries the test programs' precompiled GoogleTest and
// GoogleMock headers; it has no code of its own.
