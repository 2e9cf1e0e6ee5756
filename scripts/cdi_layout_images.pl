#!/usr/bin/env perl
# Two small CD-i volumes written byte by byte from the sector layouts alone,
# without a disc image to start from: each holds a path table naming "CDI",
# the CDI directory with MOVIE.EN, MOVIE.FR (both the given subtitle stream)
# and NOTES.TXT, in Mode 2 Form 1 sectors without sync and header (an 8-byte
# subheader, then the 2048 bytes of user data).
#   OUT/layout.nrg  2336-byte sectors, logical sector n at file sector n + 150
#   OUT/layout.cif  2332-byte sectors after two 2332-byte header blocks
# Usage: perl scripts/cdi_layout_images.pl OUT-DIR STREAM
use strict;
use warnings;

my ($out, $stream_file) = @ARGV;
die "usage: cdi_layout_images.pl OUT-DIR STREAM\n" unless defined $stream_file;
open(my $in, '<:raw', $stream_file) or die "$stream_file: $!";
my $stream = do { local $/; <$in> };
close $in;
my $stream_sectors = int((length($stream) + 2047) / 2048);

my ($cdi_dir, $en, $fr) = (20, 24, 24 + $stream_sectors);
my $notes = $fr + $stream_sectors;
my $last = $notes;

sub both16 { my $v = shift; return pack('v', $v) . pack('n', $v); }
sub both32 { my $v = shift; return pack('V', $v) . pack('N', $v); }

# An ISO 9660 directory record, padded to an even length.
sub record {
    my ($name, $extent, $length, $flags) = @_;
    my $r = pack('CC', 0, 0) . both32($extent) . both32($length) . pack('C7', 126, 1, 1, 0, 0, 0, 0)
        . pack('CCC', $flags, 0, 0) . both16(1) . pack('C', length $name) . $name;
    $r .= "\0" if length($r) % 2;
    substr($r, 0, 1) = pack('C', length $r);
    return $r;
}

my %user;  # logical sector -> 2048 bytes of user data
# Path table (type L) in sector 18: the root, then "CDI" under it.
$user{18} = pack('CCVv', 1, 0, 19, 1) . "\0\0" . pack('CCVv', 3, 0, $cdi_dir, 1) . "CDI\0";
$user{19} = record("\0", 19, 2048, 2) . record("\1", 19, 2048, 2) . record("CDI", $cdi_dir, 2048, 2);
$user{$cdi_dir} = record("\0", $cdi_dir, 2048, 2) . record("\1", 19, 2048, 2)
    . record("MOVIE.EN;1", $en, length $stream, 0) . record("NOTES.TXT;1", $notes, 2048, 0)
    . record("MOVIE.FR;1", $fr, length $stream, 0);
for my $i (0 .. $stream_sectors - 1) {
    $user{$en + $i} = $user{$fr + $i} = substr($stream, $i * 2048, 2048);
}
$user{$notes} = "Not a subtitle file.\n";

sub volume {
    my ($sector_size) = @_;
    my $v = '';
    for my $n (0 .. $last) {
        my $data = $user{$n} // '';
        $data .= "\0" x (2048 - length $data);
        my $sector = pack('C8', 0, 0, 8, 0, 0, 0, 8, 0) . $data;
        $v .= $sector . ("\0" x ($sector_size - length $sector));
    }
    return $v;
}

sub put {
    my ($name, $bytes) = @_;
    open(my $fh, '>:raw', "$out/$name") or die "$out/$name: $!";
    print $fh $bytes;
    close $fh or die;
}

put('layout.nrg', ("\0" x (150 * 2336)) . volume(2336));
my $header = sub { my $b = 'RIFF' . shift; return $b . ("\0" x (2332 - length $b)); };
put('layout.cif', $header->("imagdisc") . $header->("trckinfo") . volume(2332));
