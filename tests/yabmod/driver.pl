#!/usr/bin/perl
# YaBB 2.7's own mod installer (Admin/YaBMod.pm and Sources/Subs.pm, loaded unchanged) run on copies of a forum, one case a line,
# one JSON line a case: the oracle that the differential test holds Torvale's model of the installer to.
#
# Usage: driver.pl [--yabb DIR] [--verbose] [CASES]   (CASES: a file, else standard input)
# A case is one line, fields split by tabs: MODE BOARD HTML MOD
#   MODE  install (yabm_applymod) or uninstall (yabm_uninstallmod)
#   BOARD the forum's folder ($boarddir): a copy the caller made, never the folder the installer is loaded from
#   HTML  the html folder ($htmldir), or empty: then $htmldir is unset, as on a forum whose Paths.pm lacks it
#   MOD   the mod file; its bytes are copied to BOARD/Mods/NAME, where the installer reads them
# Output, in the order of the cases:
#   {"end":"done"|"install_error"|"fatal_error"|"die"|"crash","failed_step":J,"message":"...",
#    "steps":[[J,SEARCHFOUND],...],"refused":[PATH,...]}
#   die: Perl died in YaBB's code; crash: this driver could not run the case. J: the step install_error names, for
#   die the step searched last, else 0.
# Each case gets a freshly compiled YaBMod.pm (the installer keeps state between calls) and ends at its exit, which
# is caught; the installer's texts are set here so that its "<b>Step J</b> (LINE)" lines can be read back.
# The Mods/ folder, Mods/Log/install.log and get_install.data are prepared for each case (an install finds the mod
# not yet installed, an uninstall finds it installed) and put back as they were afterwards, so that the tree holds only
# what the installer did to the forum's own files. Every write goes through a guard: a write outside BOARD and HTML is
# refused (it fails as the real one would, copy returning 0, fopen 0) and listed in "refused".
#
# What the installer does, read from its code and seen in runs of this driver (a model must do the same):
# - Lines: the mod and each edited file are read with Perl's readline, split after each LF only. A line keeps its LF
#   and any CR; a lone CR is just a byte of its line; the last line may lack the LF.
# - Tags are matched at the very start of a line, letter case ignored, with exactly one whitespace byte between two
#   words (space, tab, CR, FF, VT): /^<search\s for>/i. Anything may follow the tag on its line. Blanks before a tag
#   make it an ordinary line; tag text in the middle of a line is an ordinary line.
# - <edit file>: the next line is the name (its LF removed, a CR kept), the line after it is skipped unread (it should
#   be </edit file>; the check for it never fires), reading goes on at the third line. Steps count on over all files.
# - Between steps only <edit file> and <search for> lines are looked at; action blocks without a <search for>, and
#   everything else, are skipped. After each step's closing action tag the line right after it is skipped, whatever it
#   holds (a <search for> there is lost, so its search text and action are then skipped as ordinary lines, unless a
#   line in them is itself a tag).
# - <search for>: every line up to the next </search for> line is the search text (nested tags are not refused: the
#   test for them can never match). No closing tag: install_error at this step ("no </Search for>").
# - After </search for> the lines are scanned for the first action tag (<add before>, <add after>, <replace>);
#   a second <search for> and its text on the way are skipped; an <edit file> on the way is install_error ("no
#   Add/Replace"). The action's text runs to its own closing tag; none: install_error. No action tag up to the end of
#   the mod: the step still runs as "add before" with the action text of the step before (none for the first step).
# - The search (dosearch) compares line by line from the top: each file line it looks at loses all its CRs, for good
#   (also a lone CR in the middle), and is compared without its LF to the search line without CRs and LF, exactly.
#   It stops at the first match; the file's lines after the match keep their CRs. An empty search text matches the
#   first empty line (a line that is empty once its CRs are gone); an empty search line matches only such a line.
#   Not found: install_error "no_s_string" at this step.
# - Install: replace puts the action's lines, as the mod holds them (CR LF of a CR LF mod, no LF on the mod's last
#   line), in place of the found lines; add before inserts them before, add after after the found lines. A file line
#   without LF followed by inserted lines runs on into them when written.
# - Uninstall: add before/after checks that the lines just before/after the found lines equal the action text (CRs and
#   LF aside; the file lines checked lose their CRs) and removes them; replace searches for the replace text and puts
#   the search text back in its place (the mod's raw lines). An empty add text makes the offset 0, which the code takes
#   for a replace: the found lines are replaced by nothing. No action: replace with the step before's text.
#   The lines checked for an add before start at (found line - number of add lines), a Perl index that may be
#   negative: it then counts from the end of the file (the file's last lines are checked and removed), and below
#   minus the file's length Perl dies ("Modification of non-creatable array value attempted"): end "die", which in
#   YaBB (CGI::Carp) ends the run like fatal_error: nothing written after it, nothing restored.
# - Names: "\" becomes "/"; a name starting with <html> (any case) is looked up under $htmldir, but only the lower-case
#   "<html>" is taken out (anywhere in the name). fopen then removes every byte outside [/\w#%+,\- .:@^] (so CRs,
#   bytes >= 0x80, "<", ">", "'", "(") and refuses a name with "/../" (fatal_error: the run ends, nothing restored).
#   Names are case-sensitive. A file that cannot be opened: install_error. fopen reads with Perl's two-argument
#   open, which drops blanks at the end of the name, and writes with the three-argument one, which keeps them: a name
#   with a blank at its end is read from NAME and written to a new file "NAME " (and its backup copy fails).
# - Text before the first <edit file> is never looked at, <search for> blocks included.
# - fopen, on every open (reading too): when the file does not exist, or is empty, and NAME.bak exists, it first
#   renames NAME.bak to NAME. So a stale backup comes back as the file (and is gone as a backup).
# - Writing: a file is written when the next <edit file> starts and, for the last one, at the end of the mod; each
#   time first copied to NAME.bak (File::Copy, with the raw name: a CR or a cleaned byte in the name makes the copy
#   fail, and no backup is made). A file named twice is read back as the first block wrote it, and its .bak then holds
#   that first result. A mod without <edit file> copies "/" to "/.bak" and then fails to write "/" (install_error).
# - install_error copies BOARD/NAME.bak over BOARD/NAME for every file opened so far, including the one being edited
#   (whose .bak may be a stale one from before), always under $boarddir even for <html> files, with the raw name.
#   Files written before the error keep the new .bak files.
# - Success: every edited file written, Mods/Log/install.log rewritten (install adds the mod, uninstall drops it).
use strict;
use warnings;
use Cwd qw(realpath getcwd);
use JSON::PP;
use POSIX ();

my $yabb    = '/work/shared/forum/yabb2';
my $verbose = 0;
my @args;
while (@ARGV) {
    my $arg = shift @ARGV;
    if    ( $arg eq '--yabb' )    { $yabb = shift @ARGV; }
    elsif ( $arg eq '--verbose' ) { $verbose = 1; }
    else                          { push @args, $arg; }
}
$yabb = realpath($yabb) // die "driver.pl: no YaBB folder\n";

# The folders a case may write in (real paths), and what the guard refused.
our @allowed;
our @refused;

sub inside {
    my ($path) = @_;
    return 0 if !defined $path || $path eq q{};
    $path = getcwd() . "/$path" if $path !~ m{\A/}xsm;
    my ( $dir, $base ) = $path =~ m{\A(.*)/([^/]*)\z}xsm;
    $dir = q{/} if $dir eq q{};
    return 0 if $base eq '.' || $base eq '..';
    my $real = realpath($dir);
    return 0 if !defined $real;
    my $full = $base eq q{} ? $real : ( $real eq q{/} ? "/$base" : "$real/$base" );
    if ( -l $full ) { $full = realpath($full); return 0 if !defined $full; }
    for my $root (@allowed) {
        return 1 if $full eq $root || index( $full, "$root/" ) == 0;
    }
    return 0;
}

sub refuse {
    push @refused, $_[0];
    $! = POSIX::EACCES;
    return 0;
}

# Before YaBB's code is compiled, so that its rename and unlink (and those of fopen) come here.
BEGIN {
    *CORE::GLOBAL::rename = sub ($$) {
        my ( $from, $to ) = @_;
        return refuse( inside($from) ? $to : $from ) if !inside($from) || !inside($to);
        return CORE::rename( $from, $to );
    };
    *CORE::GLOBAL::unlink = sub (@) {
        my @names = @_ ? @_ : ($_);
        my $count = 0;
        for my $name (@names) {
            if   ( inside($name) ) { $count += CORE::unlink($name); }
            else                   { refuse($name); }
        }
        return $count;
    };
    *CORE::GLOBAL::mkdir = sub (_;$) {
        my ( $name, $mode ) = @_;
        return refuse($name) if !inside($name);
        return CORE::mkdir( $name, $mode // oct 777 );
    };
    *CORE::GLOBAL::rmdir = sub (_) {
        return refuse( $_[0] ) if !inside( $_[0] );
        return CORE::rmdir( $_[0] );
    };
}

# YaBB's environment, as little of it as the installer touches.
package main;
no warnings qw(once redefine);
our ( $boarddir, $htmldir, $action, %INFO, %FORM, $yymain, %yabmtxt, $settings_file_version, $use_flock );
our ( $yyhtml_root, $langdir, $lang, $language, %maintxt, %croak );
$yyhtml_root = q{};
$lang        = 'English';
$use_flock   = 1;
$settings_file_version = 'YaBB 2.7.00';
$ENV{QUERY_STRING}   = q{};
$ENV{REQUEST_METHOD} = 'GET';

# The end of a case: how it ended and why, and how many steps reached their search.
our ( $end, $message, $searches );
my $step_mark = "Step\x01\x02";

sub set_texts {
    %yabmtxt = (
        '17' => 'Mod', '18' => 'Error', '39' => 'Reading', '40' => 'Read.', '41' => 'Editing', '42' => 'Backing up',
        '43' => 'to', '44' => 'Writing', '45' => $step_mark, '46' => 'done', 'no' => 'no', 'tag' => 'tag',
        'no_tag' => 'tag at mod line', 'no_file' => 'cannot open', 'no_write' => 'cannot write',
        'no_open' => 'cannot open', 'no_s_string' => 'search text not found:', 'recall' => 'Restored:',
        '55' => 'Installed.', '57' => 'Uninstalled.', 'mod' => 'Mod', 'install' => 'is installed',
        'n_install' => 'is not installed',
    );
    %maintxt = ( '609' => 'path with /../ refused' );
}

sub load_subs {
    require "$yabb/Sources/Subs.pm";
    *main::load_language = sub { return; };
    *main::is_admin      = sub { return 1; };
    *main::admintemplate = sub { return; };
    *main::fatal_error   = sub {
        my @x = @_;
        $end ||= 'fatal_error';
        $message //= join q{ }, grep { defined && length } @x[ 0, 1 ];
        main::exit();
    };
    *main::exit = sub { die bless {}, 'Torvale::Exit'; };
    my $fopen = \&main::fopen;
    *main::fopen = sub {
        my ( $handle, $sig, $name ) = @_;
        $sig //= q{};
        if ( $sig ne '<' && $sig ne q{} ) {
            my $clean = $name // q{};
            $clean =~ tr{\\}{/};
            $clean =~ s/[^\/\\\w#%+,\- .:@^]//gxsm;
            # fopen itself ends the run on "/../" before it touches anything.
            if ( $clean !~ m{/[.]{2}/}xsm && ( !inside($name) || !inside($clean) ) ) {
                return refuse($clean);
            }
        }
        return $fopen->(@_);
    };
    return;
}

# YaBMod.pm compiled anew for each case: its subs then share fresh file-level
# variables (@recallfiles, @modaddstr, $modeditfilename, ...), as in a new CGI
# process. Cheaper than a forked child, whose copy-on-write faults cost three
# times as much here.
sub load_yabmod {
    set_texts();
    do "$yabb/Admin/YaBMod.pm" or die "driver.pl: cannot load YaBMod.pm: $@\n";
    my $copy = \&main::copy;
    *main::copy = sub {
        my ( $from, $to ) = @_;
        my $target = $to;
        if ( defined $to && -d $to ) { ( my $base = $from // q{} ) =~ s{\A.*/}{}xsm; $target = "$to/$base"; }
        return refuse($to) if !inside($target);
        return $copy->(@_);
    };
    my $dosearch = \&main::dosearch;
    *main::dosearch = sub { $searches++; return $dosearch->(@_); };
    my $install_error = \&main::install_error;
    *main::install_error = sub {
        $end     ||= 'install_error';
        $message //= $_[0];
        return $install_error->(@_);
    };
    return;
}

# Runs one case and returns its result.
sub run_case {
    my ( $mode, $board, $html, $name ) = @_;
    $boarddir = $board;
    $htmldir  = length $html ? $html : undef;
    $action   = $mode eq 'uninstall' ? 'yabmuninstallmod' : 'yabmapplymod';
    %INFO     = ( action => $action, file => $name );
    $yymain   = q{};
    set_texts();
    local $SIG{__DIE__} = 'DEFAULT';
    my $ok = eval {
        if   ( $mode eq 'uninstall' ) { main::yabm_uninstallmod(); }
        else                          { main::yabm_applymod(); }
        1;
    };
    my $error = $@;
    if ( !$ok && !( ref $error && ref $error eq 'Torvale::Exit' ) ) {
        $end ||= 'die';
        $message //= "$error";
    }
    $end ||= 'done';
    my @steps;
    while ( $yymain =~ /<b>\Q$step_mark\E[ ](\d+)<\/b>[ ]\((-?\d+)\)/gxsm ) { push @steps, [ 0 + $1, 0 + $2 ]; }
    my $failed = 0;
    if ( $end eq 'install_error' && defined $message && $message =~ /\A<b>\Q$step_mark\E:<\/b>[ ](\d+)/xsm ) {
        $failed = 0 + $1;
    }
    # Perl dies only in a step's work after its search: the step that was searched last.
    $failed = $searches if $end eq 'die';
    ( my $said = $message // q{} ) =~ s/\Q$step_mark\E/Step/gxsm;
    return { end => $end, failed_step => $failed, message => $said, steps => \@steps, refused => [@refused] };
}

sub slurp {
    my ($path) = @_;
    open my $in, '<:raw', $path or return;
    local $/ = undef;
    my $bytes = <$in>;
    close $in;
    return $bytes;
}

sub spew {
    my ( $path, $bytes ) = @_;
    return refuse($path) if !inside($path);
    open my $out, '>:raw', $path or die "driver.pl: cannot write $path: $!\n";
    print {$out} $bytes;
    close $out or die "driver.pl: cannot write $path: $!\n";
    return 1;
}

# Mods/, its log files and the mod file, made ready for the case; returns how to put them back.
sub prepare {
    my ( $mode, $board, $name, $bytes ) = @_;
    my @undo;
    for my $dir ( "$board/Mods", "$board/Mods/Log" ) {
        if ( !-d $dir ) { mkdir $dir or die "driver.pl: cannot make $dir: $!\n"; unshift @undo, [ 'rmdir', $dir ]; }
    }
    my %content = (
        "$board/Mods/$name"                  => $bytes,
        "$board/Mods/Log/install.log"        => $mode eq 'uninstall' ? "$settings_file_version\\$name\n" : q{},
        "$board/Mods/Log/get_install.data"   => $mode eq 'uninstall' ? "$name\t0\n" : q{},
    );
    for my $path ( sort keys %content ) {
        unshift @undo, [ 'put', $path, slurp($path) ];
        spew( $path, $content{$path} );
    }
    return \@undo;
}

sub put_back {
    my ($undo) = @_;
    for my $item ( @{$undo} ) {
        my ( $what, $path, $bytes ) = @{$item};
        if    ( $what eq 'rmdir' )  { rmdir $path; }
        elsif ( defined $bytes )    { spew( $path, $bytes ); }
        else                        { unlink $path; }
    }
    return;
}

sub fail_case {
    my ($why) = @_;
    return { end => 'crash', failed_step => 0, message => $why, steps => [], refused => [] };
}

sub one_case {
    my ($line) = @_;
    my ( $mode, $board, $html, $mod ) = split /\t/xsm, $line, -1;
    return fail_case('a case needs four fields split by tabs') if !defined $mod;
    return fail_case("unknown mode $mode") if $mode ne 'install' && $mode ne 'uninstall';
    my @roots;
    for my $dir ( $board, $html ) {
        next if !length $dir;
        my $real = realpath($dir);
        return fail_case("no folder $dir") if !defined $real || !-d $real;
        return fail_case("refused to run on $dir") if $real eq q{/} || $real eq $yabb || index( "$yabb/", "$real/" ) == 0
          || index( $real, "$yabb/" ) == 0;
        push @roots, $real;
    }
    return fail_case('no forum folder') if !@roots || !length $board;
    my $bytes = slurp($mod);
    return fail_case("cannot read $mod") if !defined $bytes;
    ( my $name = $mod ) =~ s{\A.*/}{}xsm;
    $name =~ s/[^\w.\-]/_/gxsm;
    local @allowed = @roots;
    local @refused = ();
    my $undo = prepare( $mode, $board, $name, $bytes );
    load_yabmod();
    local ( $end, $message, $searches ) = ( undef, undef, 0 );
    my $result = eval {
        local $SIG{ALRM} = sub { die "the installer ran for a minute\n" };
        alarm 60;
        my $run = run_case( $mode, $board, $html, $name );
        alarm 0;
        $run;
    } // fail_case("the driver failed: $@");
    # A run that died between fopen and fclose leaves its handle open (and locked).
    for my $handle (qw(FILE IN MLOG)) {
        no strict 'refs';
        close ${"main::$handle"} if ref ${"main::$handle"};
    }
    put_back($undo);
    return $result;
}

# CGI::Carp sets its own warning handler when it loads: load it first, then quiet the warnings of YaBB's code.
require CGI::Carp;
$SIG{__WARN__} = sub { print {*STDERR} @_ if $verbose; };
load_subs();
my $in = \*STDIN;
if (@args) { open $in, '<', $args[0] or die "driver.pl: cannot read $args[0]: $!\n"; }
$| = 1;
my $json = JSON::PP->new->ascii->canonical;
while ( my $line = <$in> ) {
    chomp $line;
    next if $line eq q{};
    my $result = one_case($line);
    print $json->encode($result), "\n";
}
