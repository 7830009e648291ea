<?php
// The PHP side of the engine's PHP host: the code a `php` process runs for one loaded
// program. The engine embeds this file and hands it to `php` on its standard input; it
// never reads it from disk at run time.
//
// The process serves one socket, file descriptor 3, shared with its port. Both sides send
// messages framed as a 4-byte little-endian length and that many bytes; the first byte
// says what the message is:
//
//   engine -> PHP   'M' name handle addMembers names  an object by name (answer 'r')
//                   'C' code                         a piece of program (answer 'r' or 'x')
//                   'P' name args                    run a procedure (answer 'r', 'x' or 'n')
//   PHP -> engine   'h'                              ready, sent once at the start
//                   'K' handle name type args        call a member of an object
//                   'F' handles                      wrappers let go (no answer)
//                   'e' / 'z' error                  the process is ending: by exit / failure
//   both ways       'r' result args                  a result and the arguments after the call
//                   'x' number description [line]   an error
//                   'n'                              no such procedure
//
// Values are a tag byte and a body: 'E' empty (null), 'U' the engine's Null (null here),
// 'B' boolean, 'I' 32-bit integer, 'D' double, 'S' string (length and bytes, unchanged:
// text is single-byte both sides), 'T' date (a serial day number), 'O' object handle
// (0 is Nothing), 'A' list, and in call arguments 'R' before a value passed by reference.
//
// While PHP waits for an answer, the engine may send commands of its own (a member that
// runs another procedure of this program): waiting serves them, so calls nest both ways.

namespace Orvik {

const SYNTAX = 1002;        // the code does not compile
const UNCAUGHT = 5022;      // anything else thrown and not caught
const TYPE_MISMATCH = 13;   // a value with no form on the other side

// A numbered error: what a member's failure becomes here, and what a program throws to
// fail with a number of its own.
class Error extends \Exception {
  public int $number;
  public string $description;

  public function __construct(int $number, string $description) {
    parent::__construct("[$number] $description", $number);
    $this->number = $number;
    $this->description = $description;
  }
}

// A by-reference argument for a member: the member's write lands in `value`.
final class Ref {
  public function __construct(public mixed $value = null) {}
}

// An object of the engine. Methods and properties are the object's members, found
// without regard to case; `LetProperty(name, args..., value)` assigns a property that
// takes arguments.
final class Obj {
  public function __construct(private int $handle) {}

  public function __call(string $name, array $args): mixed {
    $args = array_values($args);
    if (strcasecmp($name, 'LetProperty') === 0) {
      $member = (string) array_shift($args);
      Wire::call($this->handle, $member, 2, $args);
      return null;
    }
    return Wire::call($this->handle, $name, 0, $args);
  }

  public function __get(string $name): mixed {
    return Wire::call($this->handle, $name, 1, []);
  }

  public function __set(string $name, mixed $value): void {
    Wire::call($this->handle, $name, 2, [$value]);
  }

  public function __destruct() {
    Wire::$freed[] = $this->handle;
  }

  public static function __handleOf(Obj $o): int {
    return $o->handle;
  }
}

// Reads one message's fields in order.
final class Reader {
  private int $at = 0;

  public function __construct(private string $bytes) {}

  public function byte(): string {
    return $this->take(1);
  }

  public function u32(): int {
    return unpack('V', $this->take(4))[1];
  }

  public function i32(): int {
    $n = $this->u32();
    return $n >= 0x80000000 ? $n - 0x100000000 : $n;
  }

  public function str(): string {
    return $this->take($this->u32());
  }

  public function value(): mixed {
    $tag = $this->byte();
    switch ($tag) {
      case 'E':
      case 'U':
        return null;
      case 'B':
        return $this->byte() !== "\0";
      case 'I':
        return $this->i32();
      case 'D':
        return unpack('e', $this->take(8))[1];
      case 'S':
        return $this->str();
      case 'T':
        return Wire::dateOf(unpack('e', $this->take(8))[1]);
      case 'O':
        $handle = $this->u32();
        return $handle === 0 ? null : new Obj($handle);
      case 'A':
        $n = $this->u32();
        $items = [];
        for ($i = 0; $i < $n; ++$i) $items[] = $this->value();
        return $items;
    }
    throw new \RuntimeException("unknown value tag " . bin2hex($tag));
  }

  public function values(): array {
    $n = $this->u32();
    $items = [];
    for ($i = 0; $i < $n; ++$i) $items[] = $this->value();
    return $items;
  }

  private function take(int $n): string {
    if ($n < 0 || $this->at + $n > strlen($this->bytes)) throw new \RuntimeException('short message');
    $s = substr($this->bytes, $this->at, $n);
    $this->at += $n;
    return $s;
  }
}

final class Wire {
  /** @var resource */
  public static $io;
  public static array $freed = [];
  // The file names PHP gives the program's code, to tell its lines from the bridge's.
  public static array $userFiles = [];
  public static bool $probed = false;
  public static bool $probing = false;
  // Objects whose members are still to become global functions: [name => handle].
  public static array $pendingMembers = [];
  // Global functions that stand for members (lower-cased names).
  public static array $memberFunctions = [];
  // How many commands are being answered now, innermost last.
  public static int $depth = 0;

  public static function u32(int $n): string {
    return pack('V', $n & 0xFFFFFFFF);
  }

  public static function str(string $s): string {
    return pack('V', strlen($s)) . $s;
  }

  public static function encode(mixed $v): string {
    if ($v === null) return 'E';
    if (is_bool($v)) return 'B' . ($v ? "\1" : "\0");
    if (is_int($v)) {
      if ($v >= -0x80000000 && $v <= 0x7FFFFFFF) return 'I' . self::u32($v);
      return 'D' . pack('e', (float) $v);
    }
    if (is_float($v)) return 'D' . pack('e', $v);
    if (is_string($v)) return 'S' . self::str($v);
    if ($v instanceof Obj) return 'O' . self::u32(Obj::__handleOf($v));
    if ($v instanceof \DateTimeInterface) return 'T' . pack('e', self::serialOf($v));
    if (is_array($v) && array_is_list($v)) {
      $out = 'A' . self::u32(count($v));
      foreach ($v as $item) $out .= self::encode($item);
      return $out;
    }
    throw new Error(TYPE_MISMATCH, 'Type mismatch: a ' . get_debug_type($v) .
                    ' has no value the engine can take');
  }

  public static function encodeList(array $items): string {
    $out = self::u32(count($items));
    foreach ($items as $item) $out .= self::encode($item);
    return $out;
  }

  // The engine's dates are serial day numbers from 1899-12-30, without a time zone: here
  // they are dates in UTC with the same wall-clock time.
  public static function dateOf(float $serial): \DateTimeImmutable {
    $days = floor($serial);
    $ms = (int) min(round(($serial - $days) * 86400000), 86399999);
    $seconds = ((int) $days - 25569) * 86400 + intdiv($ms, 1000);
    return (new \DateTimeImmutable('@' . $seconds))->modify('+' . ($ms % 1000) . ' msec');
  }

  public static function serialOf(\DateTimeInterface $d): float {
    $utc = new \DateTimeImmutable($d->format('Y-m-d H:i:s.u'), new \DateTimeZone('UTC'));
    $seconds = $utc->getTimestamp();
    $days = intdiv($seconds - (($seconds % 86400) + 86400) % 86400, 86400);
    $ms = ($seconds - $days * 86400) * 1000 + (int) $utc->format('v');
    return 25569 + $days + $ms / 86400000;
  }

  public static function send(string $payload): void {
    if (self::$freed) {
      $handles = self::$freed;
      self::$freed = [];
      $free = 'F' . self::u32(count($handles));
      foreach ($handles as $h) $free .= self::u32($h);
      self::write($free);
    }
    self::write($payload);
  }

  private static function write(string $payload): void {
    $frame = pack('V', strlen($payload)) . $payload;
    while ($frame !== '') {
      $n = @fwrite(self::$io, $frame);
      if ($n === false || $n === 0) exit(0);  // the engine has gone
      $frame = substr($frame, $n);
    }
  }

  private static function read(int $n): string {
    $s = '';
    while (strlen($s) < $n) {
      $part = @fread(self::$io, $n - strlen($s));
      if ($part === false || $part === '') exit(0);  // the engine has gone
      $s .= $part;
    }
    return $s;
  }

  public static function receive(): Reader {
    $n = unpack('V', self::read(4))[1];
    return new Reader(self::read($n));
  }

  // Calls a member of the object `handle`: type 0 method, 1 property read, 2 property
  // assignment.
  public static function call(int $handle, string $name, int $type, array $args): mixed {
    $args = array_values($args);  // arguments given by name count in their order
    $out = 'K' . self::u32($handle) . self::str($name) . chr($type) . self::u32(count($args));
    foreach ($args as $a) $out .= $a instanceof Ref ? 'R' . self::encode($a->value) : self::encode($a);
    self::send($out);
    [$result, $after] = self::serve(true);
    foreach ($args as $i => $a) {
      if ($a instanceof Ref && array_key_exists($i, $after)) $a->value = $after[$i];
    }
    return $result;
  }

  // Answers the engine's commands; with `untilAnswer`, returns the answer to this side's
  // call ([result, arguments]) or throws the error it brings. A program's code that comes
  // while nothing waits is handed back (ready to compile) to the caller at the global
  // scope, so that its top-level variables are the program's globals.
  public static function serve(bool $untilAnswer): mixed {
    for (;;) {
      $m = self::receive();
      $kind = $m->byte();
      if ($untilAnswer && $kind === 'r') return [$m->value(), $m->values()];
      if ($untilAnswer && $kind === 'x') {
        $number = $m->i32();
        throw new Error($number, $m->str());
      }
      if (!$untilAnswer && $kind === 'C') {
        ++self::$depth;
        try {
          return self::prepare($m->str());
        } catch (\Throwable $e) {
          self::answered(self::errorMessage($e));
        }
        continue;
      }
      self::command($kind, $m);
    }
  }

  // The code the main loop compiles next; the first is the probe that learns the file name
  // PHP gives code compiled there.
  public static function nextCode(): string {
    if (!self::$probed) {
      self::$probed = self::$probing = true;
      return '\\Orvik\\Wire::$userFiles[] = __FILE__;';
    }
    return self::serve(false);
  }

  // Sends the answer to the code the main loop compiled.
  public static function answered(string $answer): void {
    if (self::$probing) {
      self::$probing = false;
      return;
    }
    --self::$depth;
    self::send($answer);
  }

  private static function command(string $kind, Reader $m): void {
    ++self::$depth;
    try {
      switch ($kind) {
        case 'M':
          $name = $m->str();
          $handle = $m->u32();
          $withMembers = $m->byte() !== "\0";
          $members = $m->values();
          self::addObject($name, $handle, $withMembers ? $members : []);
          self::send('rE' . self::u32(0));
          return;
        case 'C':
          // Code added while a call waits: compiled here, its top-level variables local.
          $code = $m->str();
          self::answer(function () use ($code) {
            evaluate(self::prepare($code));
            return [null, []];
          });
          return;
        case 'P':
          $name = $m->str();
          $args = $m->values();
          if (!self::isProcedure($name)) {
            self::send('n');
            return;
          }
          self::answer(function () use ($name, $args) {
            $f = new \ReflectionFunction($name);
            $given = count($args);
            for ($i = $given; $i < $f->getNumberOfRequiredParameters(); ++$i) $args[] = null;
            // Unpacking passes each element by reference to a parameter declared `&`.
            $result = $name(...$args);
            return [$result, array_slice($args, 0, $given)];
          });
          return;
      }
      throw new \RuntimeException('unknown command ' . bin2hex($kind));
    } finally {
      --self::$depth;
    }
  }

  // Runs `work` and sends its result, or the error it raised.
  private static function answer(callable $work): void {
    try {
      [$result, $args] = $work();
      $out = 'r' . self::encode($result) . self::encodeList($args);
    } catch (\Throwable $e) {
      $out = self::errorMessage($e);
    }
    self::send($out);
  }

  public static function errorMessage(\Throwable $e): string {
    if ($e instanceof Error) {
      $number = $e->number;
      $description = $e->description;
    } else {
      $own = get_object_vars($e);
      $number = isset($own['number']) && is_int($own['number']) ? $own['number']
              : ($e instanceof \ParseError ? SYNTAX : UNCAUGHT);
      $description = isset($own['description']) && is_string($own['description'])
                   ? $own['description'] : $e->getMessage();
      if ($description === '') $description = get_class($e);
    }
    return 'x' . self::u32($number) . self::str($description) . self::u32(self::lineOf($e));
  }

  // The line of the program where `e` arose: its own, or that of the nearest call made
  // from the program's code.
  private static function lineOf(\Throwable $e): int {
    if (in_array($e->getFile(), self::$userFiles, true)) return $e->getLine();
    foreach ($e->getTrace() as $frame) {
      if (in_array($frame['file'] ?? null, self::$userFiles, true)) return $frame['line'] ?? 0;
    }
    return 0;
  }

  private static function isProcedure(string $name): bool {
    if (!preg_match('/^[A-Za-z_][A-Za-z0-9_]*$/', $name) || !function_exists($name)) return false;
    if (isset(self::$memberFunctions[strtolower($name)])) return false;
    return (new \ReflectionFunction($name))->isUserDefined();
  }

  private static function addObject(string $name, int $handle, array $members): void {
    $object = new Obj($handle);
    $GLOBALS[$name] = $object;
    if (!defined($name)) define($name, $object);
    foreach ($members as $member) {
      if (!isset(self::$pendingMembers[strtolower($member)]))
        self::$pendingMembers[strtolower($member)] = [$member, $handle];
    }
  }

  // Readies a piece of program: checks the functions it declares, makes the members
  // global functions, and returns the code as eval() takes it.
  private static function prepare(string $code): string {
    // A file that opens with a PHP tag is read as PHP reads files; plain code as it is.
    $tagged = preg_match('/^\s*<\?(php\b|=)?/i', $code) === 1;
    $declared = self::declaredFunctions($tagged ? $code : '<?php ' . $code);
    foreach ($declared as [$name, $line]) {
      // PHP would end the process over it: a syntax error at that line instead.
      if (function_exists($name)) throw new ParseErrorAt("Cannot redeclare $name()", $line);
    }
    self::defineMembers($declared);
    return $tagged ? '?>' . $code : $code;
  }

  // The members waiting to become global functions, each unless the language or the
  // program already has a function of its name.
  private static function defineMembers(array $declared): void {
    $pending = self::$pendingMembers;
    self::$pendingMembers = [];
    foreach ($pending as $lower => [$name, $handle]) {
      if (isset($declared[$lower]) || function_exists($name)) continue;
      if (!preg_match('/^[A-Za-z_][A-Za-z0-9_]*$/', $name)) continue;
      $code = $handle === 0
            ? "function $name(mixed \$value = null) { return new \\Orvik\\Ref(\$value); }"
            : "function $name(...\$a) { return \\Orvik\\Wire::call($handle, '$name', 0, \$a); }";
      try {
        eval($code);
        self::$memberFunctions[$lower] = true;
      } catch (\ParseError) {
        // A word of the language (`list`, `echo`...): reached through its object only.
      }
    }
  }

  // The functions the code declares outside classes: [lower-cased name => [name, line]].
  private static function declaredFunctions(string $source): array {
    $out = [];
    $tokens = token_get_all($source);
    $depth = 0;
    $classBodies = [];
    $classPending = false;
    $previous = null;
    $namespaced = false;
    $count = count($tokens);
    for ($i = 0; $i < $count; ++$i) {
      $t = $tokens[$i];
      if (is_array($t)) {
        $id = $t[0];
        if (in_array($id, [T_WHITESPACE, T_COMMENT, T_DOC_COMMENT], true)) continue;
        if ($id === T_NAMESPACE) $namespaced = true;
        if (in_array($id, [T_CLASS, T_INTERFACE, T_TRAIT, T_ENUM], true) && $previous !== T_DOUBLE_COLON)
          $classPending = true;
        if ($id === T_CURLY_OPEN || $id === T_DOLLAR_OPEN_CURLY_BRACES) ++$depth;
        if ($id === T_FUNCTION && !$classBodies && !$namespaced) {
          for ($j = $i + 1; $j < $count; ++$j) {
            $n = $tokens[$j];
            if (is_array($n) && in_array($n[0], [T_WHITESPACE, T_COMMENT, T_DOC_COMMENT], true)) continue;
            if ($n === '&') continue;
            if (is_array($n) && $n[0] === T_STRING) $out[strtolower($n[1])] = [$n[1], $n[2]];
            break;
          }
        }
        $previous = $id;
        continue;
      }
      if ($t === '{') {
        ++$depth;
        if ($classPending) $classBodies[] = $depth;
        $classPending = false;
      } elseif ($t === '}') {
        if ($classBodies && end($classBodies) === $depth) array_pop($classBodies);
        --$depth;
      } elseif ($t === ';') {
        $classPending = false;
      }
      $previous = $t;
    }
    return $out;
  }

  // Tells the engine how the process ends: by exit (or the end of its input), or by a
  // failure PHP cannot throw (a fatal error). Runs after the program's own shutdown
  // functions, which may still call members.
  public static function ending(): void {
    if (self::$depth === 0) return;  // nothing waits for an answer
    $e = error_get_last();
    $fatal = E_ERROR | E_PARSE | E_CORE_ERROR | E_COMPILE_ERROR | E_USER_ERROR;
    if ($e === null || ($e['type'] & $fatal) === 0) {
      self::send('e');
      return;
    }
    $number = ($e['type'] & (E_PARSE | E_COMPILE_ERROR)) ? SYNTAX : UNCAUGHT;
    $line = in_array($e['file'], self::$userFiles, true) ? $e['line'] : 0;
    self::send('z' . self::u32($number) . self::str($e['message']) . self::u32($line));
  }
}

// A syntax error found before the code runs, at a line of the program.
final class ParseErrorAt extends \ParseError {
  public function __construct(string $message, int $line) {
    parent::__construct($message);
    $this->file = Wire::$userFiles[0];
    $this->line = $line;
  }
}

// The one place the program's code is compiled, so that its file name is known.
function evaluate(string $code): mixed {
  return eval($code);
}

}  // namespace Orvik

namespace {

Orvik\Wire::$io = fopen('php://fd/3', 'r+b');
if (Orvik\Wire::$io === false) exit(1);
Orvik\Wire::$userFiles[] = Orvik\evaluate('return __FILE__;');
// Ref() is defined with the members, so that a program may have one of its own.
Orvik\Wire::$pendingMembers['ref'] = ['Ref', 0];
register_shutdown_function(function () {
  register_shutdown_function([Orvik\Wire::class, 'ending']);
});
Orvik\Wire::send('h');

// The main loop: the program's code is compiled here, at the global scope.
for (;;) {
  $__orvik = Orvik\Wire::nextCode();
  try {
    eval($__orvik);
    $__orvik = 'rE' . Orvik\Wire::u32(0);
  } catch (\Throwable $__orvik) {
    $__orvik = Orvik\Wire::errorMessage($__orvik);
  }
  Orvik\Wire::answered($__orvik);
}

}
