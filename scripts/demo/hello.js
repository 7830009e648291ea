// HELLO: a catalogued program in JavaScript, run by typing HELLO at the TCL prompt.
//
// The port's members are global names here (CRT, IInput, OOpen, RRead, ErrorDetail ...),
// as are those of the function library (Field, Extract ...). A member that writes back to
// an argument gets a reference: Ref(x), read back through .value.

function HELLO() {
  CRT("Hello " + UserName + ", this is a catalogued JavaScript program.");

  var md = Ref("");
  if (!OOpen("md", md)) {
    CRT(ErrorDetail);
    return;
  }
  for (;;) {
    CRT("Show which catalog entry (Enter alone ends)? ", false);
    var verb = Ref("");
    IInput(verb);
    if (verb.value === "" || verb.value === "<&PORT_DISCONNECT>") break;

    var item = Ref("");
    if (!RRead(item, md.value, verb.value.toUpperCase())) {
      // ErrorDetail names the statement behind the read: for the developer, not the user.
      CRT("There is no catalog entry " + verb.value.toUpperCase() + ".");
      continue;
    }
    // Attribute 1 is the kind, attribute 4 the program.
    CRT(verb.value.toUpperCase() + ": kind " + Extract(item.value, 1) + ", program " +
        Extract(item.value, 4));
  }
  CRT("Goodbye.");
}
