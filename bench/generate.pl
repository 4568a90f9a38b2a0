#!/usr/bin/perl
# Writes a deterministic transcript of about SIZE bytes: generate.pl SIZE lf|crlf SEED > FILE
# Mostly ASCII with some accented and CJK words, a few blank and white-space lines,
# one to three text lines per cue.
use strict;
use warnings;

my ($size, $ends, $seed) = @ARGV;
die "usage: generate.pl SIZE lf|crlf SEED\n" unless defined $seed;
my $eol = $ends eq 'crlf' ? "\r\n" : "\n";
binmode STDOUT;

# A fixed generator, so the same seed gives the same file with any Perl.
my $state = $seed & 0x7fffffff;
sub next_random { $state = ($state * 1103515245 + 12345) % 2147483648; return $state >> 8; }
sub pick { my ($n) = @_; return next_random() % $n; }

my @words = qw(the harbour tide ferry north pier we start at and so do wait for it morning
    ships boats crew weather report good evening this is where come in turns twice a day
    nothing more than that okay yes no right well then again later today tomorrow);
my @rare = ("caf\xC3\xA9", "na\xC3\xAFve", "Z\xC3\xBCrich", "\xC3\xA9t\xC3\xA9",
    "\xE6\x9D\xB1\xE4\xBA\xAC", "\xE5\xAD\x97\xE5\xB9\x95",
    "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF");

sub timecode {
    my ($frames) = @_;
    return sprintf("%02d:%02d:%02d:%02d", int($frames / 90000) % 100, int($frames / 1500) % 60,
                   int($frames / 25) % 60, $frames % 25);
}

my $written = 0;
my $frame = 0;
while ($written < $size) {
    my $length = 25 + pick(100);
    my $out = timecode($frame) . " - " . timecode($frame + $length) . $eol;
    $frame += $length + pick(10);
    for (my $lines = 1 + pick(3); $lines > 0; --$lines) {
        my @line;
        for (my $n = 4 + pick(10); $n > 0; --$n) {
            push @line, pick(40) == 0 ? $rare[pick(scalar @rare)] : $words[pick(scalar @words)];
        }
        $out .= join(' ', @line) . $eol;
    }
    my $extra = pick(20);
    $out .= $eol if $extra == 0;
    $out .= " \t " . $eol if $extra == 1;
    print $out;
    $written += length $out;
}
